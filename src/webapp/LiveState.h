#pragma once

#include <cstdint>
#include <string>

namespace webapp {

class WebApplication;

/// What the live stream tells its listeners: the player's state as the
/// console and the playlist show it.
struct LiveState {
    /// 1 playing, 3 paused, 0 stopped, as the player answers.
    int playing = 0;
    /// The current entry's index.
    int position = 0;
    /// The current entry's title.
    std::string title;
    /// 0 to 255.
    int volume = 0;
    bool shuffle = false;
    bool repeat = false;
    /// How often the playlist was seen changed; never goes down.
    std::uint64_t playlist = 0;

    bool operator==(const LiveState&) const = default;
};

/// Reads the state through the application's facade. Takes the player's
/// changed flag as "playlist.xml" does (emptying `playlistClients`, under the
/// application's lock), so neither misses a change the other took; the
/// counter is the generation of `playlistClients`. Waits for the player's
/// thread: never call it on that thread.
LiveState readLiveState(WebApplication& application);

/// One event of the stream: "data: " and a JSON object of the fields of
/// `now` that differ from `before` (every field when `before` is null), then
/// a blank line; empty when nothing differs. Names: "state" ("playing",
/// "paused" or "stopped"), "position", "title", "volume", "shuffle" and
/// "repeat" (true or false), "playlist".
std::string liveEvent(const LiveState* before, const LiveState& now);

} // namespace webapp
