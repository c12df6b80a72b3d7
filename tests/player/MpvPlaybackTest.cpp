// The player with real audio: mpv on its null output playing short files the
// tests write, timed by the real clock.
#include "AudioTestSupport.h"
#include "PlayerTestSupport.h"
#include "player/SimulatedPlayback.h"

#include <gtest/gtest.h>

#include <mpv/client.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <tuple>
#include <sys/stat.h>

using namespace player;
using namespace player::test;
using namespace platform;
using namespace std::chrono_literals;

namespace {

struct Tracks {
    explicit Tracks(std::initializer_list<int> lengthsMs)
    {
        int i = 0;
        for (int ms : lengthsMs) {
            files.push_back(dir.file("track" + std::to_string(i++) + ".wav"));
            EXPECT_TRUE(writeToneWav(files.back(), ms));
        }
    }
    TempDirectory dir;
    std::vector<std::string> files;
};

} // namespace

TEST(MpvPlayback, PlaysTheListInRealTimeAndStopsAtItsEnd)
{
    Tracks t{1500, 600, 600};
    AudioPlayer p;
    for (const auto& file : t.files)
        p.add(file);
    p.call([](Player& player, MpvPlayback&) { player.model().play(); });

    // The position follows the real clock, and the decoder gives the length.
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() >= 400; })) << p.elapsed();
    EXPECT_EQ(p.position(), 0);
    EXPECT_EQ(p.state(), PlayState::playing);
    EXPECT_NEAR(p.get<int>([](PlayerModel& m) { return m.currentLengthMs(); }), 1500, 20);

    // The end of a track starts the next; repeat off stops at the end of the list.
    ASSERT_TRUE(waitUntil([&] { return p.position() == 1; }));
    EXPECT_EQ(p.state(), PlayState::playing);
    ASSERT_TRUE(waitUntil([&] { return p.state() == PlayState::stopped; }));
    EXPECT_EQ(p.position(), 2);
    EXPECT_EQ(p.elapsed(), 0);
}

TEST(MpvPlayback, ShuffleWithRepeatPlaysEachEntryOncePerRound)
{
    Tracks t{400, 400, 400};
    AudioPlayer p;
    for (const auto& file : t.files)
        p.add(file);
    p.call([](Player& player, MpvPlayback&) {
        player.model().setShuffle(true);
        player.model().setRepeat(true);
        player.model().play();
    });
    std::vector<int> played{p.position()};
    ASSERT_TRUE(waitUntil([&] {
        int now = p.position();
        if (now != played.back())
            played.push_back(now);
        return played.size() >= 6;
    }));
    EXPECT_EQ(std::set<int>(played.begin(), played.begin() + 3).size(), 3u);
    EXPECT_EQ(std::set<int>(played.begin() + 3, played.begin() + 6).size(), 3u);
    EXPECT_EQ(p.state(), PlayState::playing);
}

TEST(MpvPlayback, SeekPauseAndVolumeReachTheAudio)
{
    Tracks t{4000, 4000};
    AudioPlayer p;
    for (const auto& file : t.files)
        p.add(file);
    p.call([](Player& player, MpvPlayback&) { player.model().play(); });
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(p.get<int>([](PlayerModel& m) { return m.seek(2500); }), 0);
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() >= 2500; }));
    // From the target on, no further than the time since.
    EXPECT_LE(p.elapsed(), 2520 + (std::chrono::steady_clock::now() - asked) / 1ms);

    p.call([](Player& player, MpvPlayback&) { player.model().pause(); });
    int pausedAt = p.elapsed();
    std::this_thread::sleep_for(300ms);  // time passes; a paused track stands
    EXPECT_NEAR(p.elapsed(), pausedAt, 30);
    EXPECT_EQ(p.state(), PlayState::paused);
    p.call([](Player& player, MpvPlayback&) { player.model().pause(); });
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() > pausedAt + 100; }));

    for (auto [volume, level] : {std::pair{255, 100.0}, {128, 50.2}, {0, 0.0}, {300, 100.0}}) {
        double got = -1;
        p.call([&](Player& player, MpvPlayback& audio) {
            player.model().setVolume(volume);
            got = audio.volumeLevel();
        });
        EXPECT_NEAR(got, level, 0.1) << volume;
    }

    // Past the end the track ends as if played through.
    EXPECT_EQ(p.get<int>([](PlayerModel& m) { return m.seek(60000); }), 1);
    EXPECT_EQ(p.position(), 1);
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() >= 200; }));
}

TEST(MpvPlayback, ChoosingAnotherEntryWhilePausedPlaysItFromItsStart)
{
    Tracks t{4000, 4000};
    AudioPlayer p;
    for (const auto& file : t.files)
        p.add(file);
    p.call([](Player& player, MpvPlayback&) {
        player.model().play();
        player.model().seek(2000);
        player.model().pause();
    });
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() >= 2000; }));
    const auto asked = std::chrono::steady_clock::now();
    p.call([](Player& player, MpvPlayback&) {
        player.model().setPosition(1);
        EXPECT_EQ(player.model().elapsedMs(), 0);
        player.model().play();
    });
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() > 0; }));
    // From its start: no further than the time since.
    EXPECT_LE(p.elapsed(), 20 + (std::chrono::steady_clock::now() - asked) / 1ms);
    EXPECT_EQ(p.position(), 1);
    EXPECT_EQ(p.state(), PlayState::playing);
}

TEST(MpvPlayback, UnplayableEntriesAreSkippedWithOneLineEach)
{
    Tracks t{600};
    const std::string garbage = t.dir.file("garbage.wav"), missing = t.dir.file("missing.ogg");
    {
        std::ofstream out(garbage);
        out << "not audio at all";
    }
    AudioPlayer p;
    for (const auto& file : {garbage, missing, t.files[0]})
        p.add(file);
    p.call([](Player& player, MpvPlayback&) { player.model().play(); });
    ASSERT_TRUE(waitUntil([&] { return p.position() == 2 || p.state() == PlayState::stopped; }));
    EXPECT_EQ(p.position(), 2);
    ASSERT_TRUE(waitUntil([&] { return p.state() == PlayState::stopped; }));
    std::string log;
    p.call([&](Player&, MpvPlayback&) { log = p.log.str(); });
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    EXPECT_NE(log.find(garbage), std::string::npos) << log;
    EXPECT_NE(log.find(missing), std::string::npos) << log;

    // A list of nothing but unplayable entries stops, even with repeat on.
    p.call([&](Player& player, MpvPlayback&) {
        player.model().remove(2);
        player.model().setRepeat(true);
        player.model().play();
    });
    ASSERT_TRUE(waitUntil([&] { return p.state() == PlayState::stopped; }));
    p.call([&](Player&, MpvPlayback&) { log = p.log.str(); });
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
}

TEST(MpvPlayback, AnHttpUrlPlaysSeeksByRangesAndTakesItsTagsFromTheStream)
{
    TempDirectory dir;
    const std::string file = dir.file("tagged.wav");
    ASSERT_TRUE(writeToneWav(file, 20000, 16000));
    ASSERT_TRUE(tagFile(file, "Streamed Artist", "Streamed Title", false, "Streamed Album"));
    RangeServer server(file, 64000);  // two seconds of audio a second
    AudioPlayer p;
    // As a peer's download comes: named by the file in its "path=".
    const std::string download = server.url("download?path=%2Fm%2Ftagged.wav&auth=x");
    p.add(download, "tagged.wav");
    p.add(server.url("named.wav"), "Given title");
    auto extended = [&](const std::string& url, const char* field) {
        char answer[64] = "";
        extendedFileInfoStruct request{url.c_str(), field, answer, sizeof answer};
        p.call([&](Player& player, MpvPlayback&) {
            sendMessage(player.mainWindow(), WM_WA_IPC, reinterpret_cast<WPARAM>(&request),
                                  IPC_GET_EXTENDED_FILE_INFO);
        });
        return std::string(answer);
    };
    EXPECT_EQ(extended(download, "artist"), "");  // not opened yet
    p.call([](Player& player, MpvPlayback&) { player.model().play(); });
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() >= 200; })) << p.elapsed() << " " << int(p.state()) << " "
                                                                << p.get<std::string>([&](PlayerModel&) { return p.log.str(); });
    EXPECT_NEAR(p.get<int>([](PlayerModel& m) { return m.currentLengthMs(); }), 20000, 50);

    EXPECT_EQ(p.get<int>([](PlayerModel& m) { return m.seek(15000); }), 0);
    ASSERT_TRUE(waitUntil([&] { return p.elapsed() >= 15200; }));
    bool ranged = false;
    for (long start : server.rangeStarts())
        ranged = ranged || start > 300000;
    EXPECT_TRUE(ranged);
    EXPECT_EQ(p.position(), 0);

    // Once the stream was read, its tags name the entry; a title the client gave stays.
    std::string first, second;
    p.call([&](Player& player, MpvPlayback&) {
        first = player.model().playlist().at(0)->title;
        second = player.model().playlist().at(1)->title;
    });
    EXPECT_EQ(first, "Streamed Artist - Streamed Title");
    EXPECT_EQ(second, "Given title");
    // And answer for it as a local file's tags do; the other URL is not known yet.
    const std::pair<const char*, std::string> fields[] = {
        {"artist", "Streamed Artist"}, {"album", "Streamed Album"}, {"title", "Streamed Title"},
        {"length", "20000"}, {"bitrate", "256"}};
    for (const auto& [field, value] : fields)
        EXPECT_EQ(extended(download, field), value) << field;
    EXPECT_EQ(extended(server.url("named.wav"), "title"), "");
}

TEST(TrackTags, TitlesComeFromTheTagsOfEveryFormat)
{
    TempDirectory dir;
    // WAV files carry RIFF INFO (as ffmpeg writes) or ID3 (as the tag library writes).
    const std::string id3Wav = dir.file("id3.wav");
    ASSERT_TRUE(writeToneWav(id3Wav, 1000));
    ASSERT_TRUE(tagFile(id3Wav, "Artist wav2", "Title wav2", true));
    std::vector<std::pair<std::string, std::string>> files{{id3Wav, "wav2"}};
    for (const char* format : {"mp3", "ogg", "flac", "m4a", "wav"}) {
        files.emplace_back(dir.file(std::string("t.") + format), format);
        ASSERT_TRUE(makeTaggedTrack(files.back().first, 1, std::string("Artist ") + format,
                                    std::string("Title ") + format))
            << format;
    }
    for (const auto& [file, name] : files) {
        TrackTags read = readTrackTags(file);
        EXPECT_EQ(read.artist, "Artist " + name) << file;
        EXPECT_EQ(read.title, "Title " + name) << file;
        EXPECT_NEAR(read.lengthMs, 1000, 60) << file;
        // An entry named only by its file gets "Artist - Title"; a real title stays.
        ManualClock clock;
        SimulatedPlayback audio(clock);
        std::ostringstream log;
        PlayerModel model(clock, audio, 1, log);
        PlayerRequests requests(model);
        const std::string base = displayName(file);
        for (const std::string& given : {std::string(), base, base.substr(0, base.rfind('.'))})
            EXPECT_EQ(requests.entryFor(file, given, 0).title, "Artist " + name + " - Title " + name) << given;
        EXPECT_EQ(requests.entryFor(file, "Mine", 0).title, "Mine");
    }
    // Only regular files are read: opening a pipe with no writer would wait for ever.
    const std::string fifo = dir.file("fifo.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& other : {fifo, dir.file(""), dir.file("missing.mp3")})
        EXPECT_FALSE(readTrackTags(other).readable) << other;
}

TEST(MpvPlayback, SeeksLandExactlyOnEveryFormatLocalAndOverHttp)
{
    // As a browser seeks: a fraction of the track's whole seconds, paused or
    // playing, read back at once and once the seek has settled.
    TempDirectory dir;
    std::vector<std::unique_ptr<RangeServer>> servers;
    AudioPlayer p;
    for (const char* format : {"wav", "flac", "ogg", "mp3"}) {
        const std::string file = dir.file(std::string("seek.") + format);
        ASSERT_TRUE(makeTaggedTrack(file, 4, "A", "T")) << format;
        servers.push_back(std::make_unique<RangeServer>(file, 4'000'000));
        p.add(file);
        p.add(servers.back()->url(displayName(file)));
    }
    for (int entry = 0; entry < 8; ++entry)
        for (bool paused : {true, false})
            for (double fraction : {0.0, 0.25, 0.5, 0.999}) {
                p.call([&](Player& player, MpvPlayback&) {
                    player.model().stop();
                    player.model().setPosition(entry);
                    player.model().play();
                    if (paused)
                        player.model().pause();
                });
                std::this_thread::sleep_for(150ms);
                const std::string what = std::to_string(entry) + (paused ? " paused " : " playing ") +
                                         std::to_string(fraction);
                const auto asked = std::chrono::steady_clock::now();
                const int target = p.get<int>([&](PlayerModel& m) {
                    int at = static_cast<int>((m.currentLengthMs() + 500) / 1000 * 1000 * fraction);
                    m.seek(at);
                    return at;
                });
                // From the target on: playing, no further than the time since
                // (mpv's clock runs in 50 ms steps and ahead by a few ms).
                // Playing a few ms before the end, the track may have ended by
                // the time the position is read: then there is none to check.
                const bool mayHaveEnded = fraction > 0.9 && !paused;
                auto within = [&] {
                    const auto [at, on, state] = p.get<std::tuple<int, int, PlayState>>(
                        [](PlayerModel& m) { return std::tuple(m.elapsedMs(), m.position(), m.state()); });
                    if (mayHaveEnded && (on != entry || state != PlayState::playing || at == 0))
                        return;
                    const auto ran = paused ? 0ms : std::chrono::steady_clock::now() - asked;
                    EXPECT_GE(at, target - 10) << what;
                    EXPECT_LE(at, target + (paused ? 10 : 20) + ran / 1ms) << what;
                };
                within();
                if (mayHaveEnded)
                    continue;  // it ends at once
                std::this_thread::sleep_for(300ms);
                within();
                EXPECT_EQ(p.position(), entry) << what;
            }
}
