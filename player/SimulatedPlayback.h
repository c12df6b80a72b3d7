#pragma once

#include "player/Clock.h"
#include "player/Playback.h"

namespace player {

/// Plays nothing: a track lasts the length its tags gave, by `clock`, and a
/// track of unknown length plays until it is closed. Exact time for tests,
/// and the stand-in where no audio is wanted. Never fails.
class SimulatedPlayback final : public Playback {
public:
    explicit SimulatedPlayback(const Clock& clock) : clock(clock) {}

    void open(const std::string& file, int lengthMs, std::int64_t offsetMs, bool paused) override;
    void close() override { isOpen = false; }
    void setPaused(bool paused) override;
    void seek(std::int64_t ms) override;
    std::int64_t positionMs() override;
    void setVolume(int) override {}
    Status status() override;
    TrackInfo trackInfo() override;

private:
    const Clock& clock;
    bool isOpen = false;
    bool isPaused = false;
    int length = -1;
    std::int64_t startedAt = 0;  // clock time the track would have begun (playing)
    std::int64_t pausedAt = 0;   // position while paused
};

} // namespace player
