#pragma once

namespace library::fields {

/// The fields of an index document (one per indexed file or directory).
///
/// Stored only: the entry's facts, as decimal text.
inline constexpr const wchar_t* path = L"path";
inline constexpr const wchar_t* attributes = L"attributes";
inline constexpr const wchar_t* size = L"size";
/// Last write time of the file, in file-time units (100 ns since 1601), decimal.
inline constexpr const wchar_t* modified = L"modified";

/// Indexed through the file-name analyzer, not stored: the name searched.
inline constexpr const wchar_t* name = L"name";

/// Tags, stored and indexed through the file-name analyzer (searchable as
/// "artist:", "album:", "title:", "genre:"); absent when the tags do not say.
inline constexpr const wchar_t* artist = L"artist";
inline constexpr const wchar_t* albumArtist = L"albumartist";
inline constexpr const wchar_t* album = L"album";
inline constexpr const wchar_t* title = L"title";
inline constexpr const wchar_t* genre = L"genre";
/// Tag numbers, stored as decimal text; "year" is also indexed untokenized
/// (searchable as "year:1999").
inline constexpr const wchar_t* track = L"track";
inline constexpr const wchar_t* disc = L"disc";
inline constexpr const wchar_t* year = L"year";
/// Audio length in milliseconds, stored as decimal text.
inline constexpr const wchar_t* duration = L"duration";
/// "1" when the file carries an embedded picture; absent otherwise.
inline constexpr const wchar_t* picture = L"picture";

/// Keys for browsing, indexed untokenized and not stored, exact texts (UTF-8
/// decoded) so that a term enumeration lists them and a term query finds
/// their files: the filing artist (album artist, else artist), the album
/// within its filing artist ("<filing artist>\x1f<album>"), the genre.
inline constexpr const wchar_t* artistKey = L"k_artist";
inline constexpr const wchar_t* albumKey = L"k_album";
inline constexpr const wchar_t* genreKey = L"k_genre";
/// The separator inside an album key.
inline constexpr wchar_t albumKeySeparator = L'\x1f';

} // namespace library::fields
