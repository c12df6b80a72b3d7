#include "player/SimulatedPlayback.h"

#include <algorithm>

namespace player {

void SimulatedPlayback::open(const std::string&, int lengthMs, std::int64_t offsetMs, bool paused)
{
    isOpen = true;
    length = lengthMs;
    isPaused = false;
    seek(offsetMs);
    setPaused(paused);
}

void SimulatedPlayback::setPaused(bool paused)
{
    if (!isOpen || paused == isPaused)
        return;
    if (paused)
        pausedAt = clock.nowMs() - startedAt;
    else
        startedAt = clock.nowMs() - pausedAt;
    isPaused = paused;
}

void SimulatedPlayback::seek(std::int64_t ms)
{
    ms = std::max<std::int64_t>(ms, 0);
    if (isPaused)
        pausedAt = ms;
    else
        startedAt = clock.nowMs() - ms;
}

std::int64_t SimulatedPlayback::positionMs()
{
    if (!isOpen)
        return 0;
    return isPaused ? pausedAt : clock.nowMs() - startedAt;
}

Playback::Status SimulatedPlayback::status()
{
    if (!isOpen)
        return {};
    std::int64_t position = positionMs();
    if (length > 0 && position >= length) {
        isOpen = false;
        return {Outcome::ended, position - length, {}};
    }
    return {Outcome::playing, 0, {}};
}

Playback::TrackInfo SimulatedPlayback::trackInfo()
{
    TrackInfo info;
    if (isOpen)
        info.lengthMs = length;
    return info;
}

} // namespace player
