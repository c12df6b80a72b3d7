#pragma once

#include "analysis/FilenameAnalyzer.h"
#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/LibraryPath.h"
#include "library/MediaFiles.h"
#include "library/TagReader.h"
#include "library/TrackRecord.h"
#include "platform/Files.h"

#include <CLucene.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace webapptest {

/// A small tagged library below `music`: album "Alpha" of Zed on two discs,
/// whose file names run against its track order; "Gamma", filed under Zed
/// by its album artist and older; "Beta" of an artist with non-ASCII letters,
/// with a cover file in its folder; a file without tags; and, in `outside`
/// (a folder the test leaves unshared), one more track of "Alpha".
struct TaggedLibrary {
    TaggedLibrary(const std::string& music, const std::string& outside)
        : alpha1(music + "/Alpha/b.mp3"), alpha2(music + "/Alpha/a.mp3"), alpha3(music + "/Alpha/CD2/0.mp3"),
          gamma(music + "/Gamma/x.mp3"), beta(music + "/Beta/b.mp3"), untagged(music + "/untagged.mp3"),
          stray(outside + "/0.mp3")
    {
        const librarytest::Metadata zed{{"artist", "Zed"}, {"album", "Alpha"}, {"genre", "Rock"}, {"date", "2001"}};
        auto with = [](librarytest::Metadata tags, librarytest::Metadata more) {
            tags.insert(tags.end(), more.begin(), more.end());
            return tags;
        };
        const std::pair<std::string, librarytest::Metadata> songs[] = {
            {alpha1, with(zed, {{"title", "One"}, {"track", "1"}, {"disc", "1"}})},
            {alpha2, with(zed, {{"title", "Two"}, {"track", "2"}, {"disc", "1"}})},
            {alpha3, with(zed, {{"title", "Three"}, {"track", "1"}, {"disc", "2"}})},
            {stray, with(zed, {{"title", "Stray"}, {"track", "3"}, {"disc", "1"}})},
            {gamma, {{"artist", "Guest"}, {"album_artist", "Zed"}, {"album", "Gamma"}, {"date", "1990"}}},
            {beta, {{"artist", nonAscii}, {"album", "Beta"}, {"genre", "Jazz"}, {"date", "1999"}, {"track", "1"}}},
            {untagged, {}},
        };
        for (const auto& [path, tags] : songs) {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            EXPECT_TRUE(librarytest::makeMediaFile(path, tags)) << path;
        }
        EXPECT_TRUE(librarytest::makeImage(music + "/Beta/cover.png"));
    }

    /// What the index holds of `path`: its facts as listed and its tags as read.
    static library::TrackRecord record(const std::string& path)
    {
        library::TrackRecord track;
        const auto status = std::filesystem::status(path);
        const bool directory = std::filesystem::is_directory(status);
        track.entry.path = path;
        track.entry.attributes = directory ? library::FindData::directoryAttribute : library::FindData::normalAttribute;
        track.entry.size = directory ? 0 : static_cast<std::uint32_t>(std::filesystem::file_size(path));
        platform::FileStatus facts;
        EXPECT_TRUE(platform::statusOfPath(path, facts));
        // File-time units: 100 ns since 1601.
        track.entry.modified = library::FileTime::fromValue(
            static_cast<std::uint64_t>(facts.modified.seconds * 10000000 + facts.modified.nanoseconds / 100) +
            116444736000000000ULL);
        if (!directory)
            track.tags = library::readTrackTags(path).value_or(library::TrackTags{});
        return track;
    }

    /// Writes the index below `indexDirectory` of `paths` as the indexer
    /// does: names, facts, tags and the browse keys.
    static void index(const std::string& indexDirectory, const std::vector<std::string>& paths)
    {
        using lucene::document::Field;
        namespace fields = library::fields;
        // The engine's flags are separate enumerations, combined as numbers.
        constexpr int store = Field::STORE_YES, tokens = Field::INDEX_TOKENIZED, untokenized = Field::INDEX_UNTOKENIZED;
        constexpr int stored = store | static_cast<int>(Field::INDEX_NO), storedText = store | tokens;
        constexpr int storedWhole = store | untokenized, whole = static_cast<int>(Field::STORE_NO) | untokenized;
        std::optional<library::IndexStore::Rebuild> rebuild = library::IndexStore(indexDirectory).beginRebuild();
        ASSERT_TRUE(rebuild);
        lucene::analysis::filename::FilenameAnalyzer analyzer;
        {
            lucene::index::IndexWriter writer(rebuild->path().c_str(), &analyzer, true);
            for (const std::string& path : paths) {
                const library::TrackRecord track = record(path);
                const library::TrackTags& tags = track.tags;
                lucene::document::Document document;
                auto add = [&document](const wchar_t* name, const std::wstring& value, int flags) {
                    if (!value.empty() && value != L"0")
                        document.add(*new Field(name, value.c_str(), flags));
                };
                auto text = [](const std::string& value) { return analysis::decodeUtf8(value); };
                add(fields::name, text(std::string(library::fileNamePart(path))), static_cast<int>(Field::STORE_NO) | tokens);
                add(fields::path, analysis::widenBytes(path), stored);
                add(fields::attributes, std::to_wstring(track.entry.attributes), stored);
                add(fields::size, std::to_wstring(track.entry.size), stored);
                add(fields::modified, std::to_wstring(track.entry.modified.value()), stored);
                add(fields::artist, text(tags.artist), storedText);
                add(fields::albumArtist, text(tags.albumArtist), storedText);
                add(fields::album, text(tags.album), storedText);
                add(fields::title, text(tags.title), storedText);
                add(fields::genre, text(tags.genre), storedText);
                add(fields::track, std::to_wstring(tags.track), stored);
                add(fields::disc, std::to_wstring(tags.disc), stored);
                add(fields::year, std::to_wstring(tags.year), storedWhole);
                add(fields::duration, std::to_wstring(tags.durationMs), stored);
                add(fields::picture, tags.hasPicture ? L"1" : L"", stored);
                add(fields::artistKey, text(tags.filingArtist()), whole);
                if (!tags.album.empty())
                    add(fields::albumKey, text(tags.filingArtist()) + fields::albumKeySeparator + text(tags.album), whole);
                add(fields::genreKey, text(tags.genre), whole);
                writer.addDocument(&document);
            }
            writer.close();
        }
        ASSERT_TRUE(rebuild->publish());
    }

    /// Every file of the library.
    std::vector<std::string> all() const { return {alpha1, alpha2, alpha3, stray, gamma, beta, untagged}; }

    static inline const std::string nonAscii = "\xc3\x9cn\xc3\xaf \xe6\x97\xa5\xe6\x9c\xac";  // "Ünï 日本"

    const std::string alpha1, alpha2, alpha3, gamma, beta, untagged, stray;
};

} // namespace webapptest
