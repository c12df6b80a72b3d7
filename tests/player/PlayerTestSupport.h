#pragma once

#include "player/Clock.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace player::test {

/// A clock moved by hand; safe to move from one thread while another reads.
class ManualClock final : public Clock {
public:
    std::int64_t nowMs() const override { return now.load(); }
    void advance(std::int64_t ms) { now += ms; }

private:
    std::atomic<std::int64_t> now{1'000'000};
};

/// A fresh directory below the system's temporary directory, removed with
/// everything in it when the object goes.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::string file(const std::string& name) const { return (root / name).string(); }

private:
    std::filesystem::path root;
};

/// Writes a valid 8 kHz, 8-bit mono WAV file of `seconds` seconds of silence
/// (a bitrate of 64 kbit/s) and tags it with whichever of the texts are not
/// empty. False when it could not be written.
bool writeTaggedWav(const std::string& path, int seconds, const std::string& artist,
                    const std::string& title, const std::string& album);

} // namespace player::test
