#include "library/TagFields.h"

#include "analysis/WideText.h"
#include "library/DocumentFields.h"
#include "library/IndexFields.h"

#include <CLucene.h>

#include <string>

namespace library {

using lucene::document::Document;
using lucene::document::Field;

namespace {

// The engine's flags are separate enumerations, combined as plain numbers.
constexpr int storedAndTokenized =
    static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_TOKENIZED) | static_cast<int>(Field::TERMVECTOR_NO);
constexpr int storedAndWhole =
    static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_UNTOKENIZED) | static_cast<int>(Field::TERMVECTOR_NO);
constexpr int storedOnlyFlags =
    static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO) | static_cast<int>(Field::TERMVECTOR_NO);
constexpr int tokenizedOnly =
    static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED) | static_cast<int>(Field::TERMVECTOR_NO);
constexpr int wholeOnly =
    static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_UNTOKENIZED) | static_cast<int>(Field::TERMVECTOR_NO);

void addField(DocumentFields& document, const wchar_t* name, const std::wstring& value, int flags)
{
    document.add(name, value, flags);
}

/// `text` decoded, stored and indexed through the writer's analyzer when
/// there is any; the stored text, which the browse keys take too. The
/// index keeps a character above U+FFFF as a surrogate pair (see
/// analysis/WideText.h), while the analyzer reads characters: a text with
/// such a character is stored and analyzed as two fields of one name.
std::wstring addText(DocumentFields& document, const wchar_t* name, const std::string& text)
{
    if (text.empty())
        return {};
    const std::wstring decoded = analysis::decodeUtf8(text);
    std::wstring stored = decoded;
    analysis::toIndexForm(stored);
    if (stored.size() == decoded.size()) {
        addField(document, name, decoded, storedAndTokenized);
    } else {
        addField(document, name, stored, storedOnlyFlags);
        addField(document, name, decoded, tokenizedOnly);
    }
    return stored;
}

void addNumber(DocumentFields& document, const wchar_t* name, std::int64_t number, int flags = storedOnlyFlags)
{
    if (number > 0)
        addField(document, name, analysis::decimalText(static_cast<std::uint64_t>(number)), flags);
}

std::string storedText(const Document& document, const wchar_t* name)
{
    const wchar_t* stored = document.get(name);
    return stored != nullptr ? analysis::encodeUtf8(stored) : std::string();
}

std::int64_t storedInteger(const Document& document, const wchar_t* name)
{
    std::int64_t value = 0;
    for (const wchar_t* digit = document.get(name); digit != nullptr && *digit >= L'0' && *digit <= L'9'; ++digit)
        if (value < (std::int64_t{1} << 50))
            value = value * 10 + (*digit - L'0');
    return value;
}

} // namespace

void addTagFields(DocumentFields& document, const TrackTags& tags)
{
    const std::wstring artist = addText(document, fields::artist, tags.artist);
    const std::wstring albumArtist = addText(document, fields::albumArtist, tags.albumArtist);
    const std::wstring album = addText(document, fields::album, tags.album);
    addText(document, fields::title, tags.title);
    const std::wstring genre = addText(document, fields::genre, tags.genre);
    addNumber(document, fields::track, tags.track);
    addNumber(document, fields::disc, tags.disc);
    addNumber(document, fields::year, tags.year, storedAndWhole);
    addField(document, fields::duration, analysis::decimalText(static_cast<std::uint64_t>(tags.durationMs > 0 ? tags.durationMs : 0)), storedOnlyFlags);
    if (tags.hasPicture)
        addField(document, fields::picture, L"1", storedOnlyFlags);

    // Each text decoded once, for its own field and the keys.
    const std::wstring& filingArtist = albumArtist.empty() ? artist : albumArtist;
    if (!filingArtist.empty())
        addField(document, fields::artistKey, filingArtist, wholeOnly);
    if (!album.empty())
        addField(document, fields::albumKey, filingArtist + fields::albumKeySeparator + album, wholeOnly);
    if (!genre.empty())
        addField(document, fields::genreKey, genre, wholeOnly);
}

std::optional<TrackTags> storedTags(const Document& document)
{
    if (document.get(fields::duration) == nullptr)
        return std::nullopt;
    TrackTags tags;
    tags.artist = storedText(document, fields::artist);
    tags.albumArtist = storedText(document, fields::albumArtist);
    tags.album = storedText(document, fields::album);
    tags.title = storedText(document, fields::title);
    tags.genre = storedText(document, fields::genre);
    tags.track = static_cast<int>(storedInteger(document, fields::track));
    tags.disc = static_cast<int>(storedInteger(document, fields::disc));
    tags.year = static_cast<int>(storedInteger(document, fields::year));
    tags.durationMs = storedInteger(document, fields::duration);
    tags.hasPicture = document.get(fields::picture) != nullptr;
    return tags;
}

} // namespace library
