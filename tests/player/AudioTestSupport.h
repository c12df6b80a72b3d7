#pragma once

#include "player/MpvPlayback.h"
#include "player/Player.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace player::test {

/// Writes a 16-bit mono WAV file of a 440 Hz tone, `ms` long at `rate` Hz.
bool writeToneWav(const std::string& path, int ms, int rate = 8000);

/// Runs ffmpeg to make a `seconds`-long tone in the format of `path`'s
/// extension, tagged with artist and title. False when ffmpeg failed.
bool makeTaggedTrack(const std::string& path, int seconds, const std::string& artist, const std::string& title);

/// Tags `path` with the tag library (for a WAV file: as ID3 only when
/// `id3Only`, else as its default of ID3 and RIFF INFO); the album when given.
bool tagFile(const std::string& path, const std::string& artist, const std::string& title, bool id3Only = false,
             const std::string& album = "");

/// Polls `condition` every 10 ms until it holds; false after `timeout`.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(20));

/// A player with real audio (mpv's null output) on a window thread of its
/// own. `call` runs work there, where the model lives; the model's log is
/// kept in `log` (read it inside `call`).
class AudioPlayer {
public:
    AudioPlayer();
    ~AudioPlayer();

    void call(const std::function<void(Player&, MpvPlayback&)>& work);
    template <class T>
    T get(const std::function<T(PlayerModel&)>& read)
    {
        T value{};
        call([&](Player& p, MpvPlayback&) { value = read(p.model()); });
        return value;
    }
    int position() { return get<int>([](PlayerModel& m) { return m.position(); }); }
    int elapsed() { return get<int>([](PlayerModel& m) { return m.elapsedMs(); }); }
    PlayState state() { return get<PlayState>([](PlayerModel& m) { return m.state(); }); }
    void add(const std::string& file, const std::string& title = "");

    std::ostringstream log;

private:
    std::thread thread;
    platform::HWND main = nullptr;
    platform::HWND worker = nullptr;
};

/// An HTTP/1.1 file server on a loopback port: GET answers the file, with a
/// single "Range: bytes=N-" as 206. It sends at most `bytesPerSecond`, as a
/// slow network does, so that a seek far ahead needs a new ranged request.
class RangeServer {
public:
    RangeServer(std::string file, std::size_t bytesPerSecond);
    ~RangeServer();

    std::string url(const std::string& name) const;
    /// Start offsets of the ranged requests so far.
    std::vector<long> rangeStarts();

private:
    void serve(int connection);

    std::string body;
    std::size_t rate;
    int listening = -1;
    std::uint16_t port = 0;
    std::mutex lock;
    std::vector<long> starts;
    std::vector<int> open;
    bool stopping = false;
    std::vector<std::thread> threads;
    std::thread acceptor;
};

} // namespace player::test
