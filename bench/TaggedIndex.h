#pragma once
// A tagged index of 1,000,000 tracks written as the indexer writes one
// (names, facts, tags, browse keys; then optimized) without files on disk:
// 20,000 artists of 5 albums of 10 tracks, at "ROOT/artist/album/title.mp3".
// Single-threaded; a failure of the engine or the store ends the program.

#include "analysis/FilenameAnalyzer.h"
#include "analysis/WideText.h"
#include "library/DocumentFields.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/TagFields.h"

#include <CLucene.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace bench {

inline constexpr int artistCount = 20000;
inline constexpr int albumsPerArtist = 5;
inline constexpr int tracksPerAlbum = 10;
inline constexpr int trackCount = artistCount * albumsPerArtist * tracksPerAlbum;

inline constexpr const char* taggedWords[] = {"love", "night", "song", "blue",  "day",   "heart", "fire",
                                              "rain", "dream", "road", "light", "time",  "girl",  "moon",
                                              "sun",  "river", "home", "dance", "city",  "star"};

inline std::string artistName(int artist)
{
    return std::string(taggedWords[artist % 20]) + " " + taggedWords[(artist / 20) % 20] + " " + std::to_string(artist);
}

inline std::string albumName(int artist, int album)
{
    return std::string(taggedWords[(artist + album) % 20]) + " album " + std::to_string(album);
}

/// Writes the index as the current one below `indexDirectory`.
inline void writeTaggedIndex(const std::string& indexDirectory, const std::string& root)
{
    using lucene::document::Field;
    std::optional<library::IndexStore::Rebuild> rebuild = library::IndexStore(indexDirectory).beginRebuild();
    if (!rebuild)
        std::abort();
    lucene::analysis::filename::FilenameAnalyzer analyzer;
    lucene::index::IndexWriter writer(rebuild->path().c_str(), &analyzer, true);
    constexpr int stored = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);
    constexpr int indexed = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED);
    for (int artist = 0; artist < artistCount; ++artist) {
        for (int album = 0; album < albumsPerArtist; ++album) {
            for (int track = 0; track < tracksPerAlbum; ++track) {
                library::TrackTags tags;
                tags.artist = artistName(artist);
                tags.album = albumName(artist, album);
                tags.title = std::string(taggedWords[track % 20]) + " " + taggedWords[(artist + track) % 20];
                tags.genre = taggedWords[artist % 7];
                tags.track = tracksPerAlbum - track;  // against the crawl order
                tags.disc = 1;
                tags.year = 1960 + (artist + album) % 60;
                tags.durationMs = 180000 + track * 1000;
                const std::string path = root + "/" + tags.artist + "/" + tags.album + "/" + tags.title + ".mp3";
                library::DocumentFields document;
                auto add = [&document](const wchar_t* name, const std::wstring& value, int flags) {
                    document.add(name, value, flags);
                };
                add(library::fields::name, analysis::decodeUtf8(tags.title), indexed);
                add(library::fields::path, analysis::widenBytes(path), stored);
                add(library::fields::attributes, L"128", stored);
                add(library::fields::size, L"4000000", stored);
                add(library::fields::modified, L"133000000000000000", stored);
                library::addTagFields(document, tags);
                writer.addDocument(&document.document());
            }
        }
    }
    writer.optimize();
    writer.close();
    if (!rebuild->publish())
        std::abort();
}

} // namespace bench
