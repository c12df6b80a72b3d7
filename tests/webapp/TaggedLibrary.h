#pragma once

#include "library/Indexer.h"
#include "library/MediaFiles.h"
#include "library/MediaLibrary.h"
#include "library/TagReader.h"
#include "library/TrackRecord.h"
#include "platform/Files.h"
#include "settings/Settings.h"
#include "threading/Thread.h"
#include "webapp/WebApplication.h"

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
          stray(outside + "/0.mp3"), outside(outside)
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

    /// Indexes the library with `application`'s indexer, sharing `outside`
    /// meanwhile, so that the index holds a track the test does not share.
    void index(webapp::WebApplication& application, host::Settings& settings) const
    {
        const std::vector<std::string> shared = settings.snapshot().sharedDirs;
        settings.update([&](host::SettingsData& data) { data.sharedDirs.push_back(outside); });
        ASSERT_TRUE(application.library->reindex());
        application.library->indexer().threadHandle()->wait();
        ASSERT_TRUE(application.library->indexer().lastRebuildComplete());
        settings.update([&](host::SettingsData& data) { data.sharedDirs = shared; });
    }

    static inline const std::string nonAscii = "\xc3\x9cn\xc3\xaf \xe6\x97\xa5\xe6\x9c\xac";  // "Ünï 日本"

    const std::string alpha1, alpha2, alpha3, gamma, beta, untagged, stray, outside;
};

} // namespace webapptest
