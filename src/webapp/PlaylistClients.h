#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace webapp {

/// The web clients that hold the player's current playlist, by the id their
/// page carries. A client not listed gets the whole list with its next
/// "playlist.xml"; a listed one only the position.
///
/// Bounded: an id not seen for `lifetime` counts as absent and is dropped,
/// and past `capacity` ids the least recently seen is dropped. Either way
/// that client merely gets the whole list again. No lock of its own: the web
/// application guards it with its lock.
class PlaylistClients {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t defaultCapacity = 1024;
    static constexpr Clock::duration defaultLifetime = std::chrono::minutes(30);

    explicit PlaylistClients(std::size_t capacity = defaultCapacity, Clock::duration lifetime = defaultLifetime);

    /// Whether `id` was seen within the lifetime before `now` and still holds
    /// the current list.
    bool holdsCurrent(std::string_view id, Clock::time_point now = Clock::now()) const;
    /// Notes that `id` now holds the current list, seen at `now`.
    void markCurrent(const std::string& id, Clock::time_point now = Clock::now());
    /// The playlist changed: no client holds it any more, and a list read
    /// before now is no current one (see `generation`).
    void clear()
    {
        lastSeen.clear();
        ++cleared;
    }
    /// How often `clear` ran: a reader that notes it before reading the
    /// playlist marks its client current only when it has not changed.
    std::uint64_t generation() const { return cleared; }

    /// The ids listed, in order (expired ones not yet dropped included).
    std::vector<std::string> ids() const;
    std::size_t size() const { return lastSeen.size(); }

private:
    void makeRoom(Clock::time_point now);

    std::size_t capacity;
    Clock::duration lifetime;
    std::map<std::string, Clock::time_point, std::less<>> lastSeen;
    std::uint64_t cleared = 0;
};

} // namespace webapp
