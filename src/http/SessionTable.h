#pragma once

#include "http/StateStore.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace http {

/// The listener's sessions: only ids issued here are ever found. A session
/// not used for `idleLifetime` is forgotten; past `capacity` sessions, the
/// least recently used unauthorised one goes first (an authorised one, or
/// one with a URL token, only when none is left). Besides its id, a session
/// may be found by two keys of its own, which die with it: its URL token
/// (the "auth" of the URLs handed to media players, never its id) and the
/// Digest opaque of its challenges. Any thread; a session handed out stays
/// valid for its holder even after the table forgot it.
class SessionTable {
public:
    using Clock = std::chrono::steady_clock;
    using Session = std::shared_ptr<StateStore>;

    static constexpr std::size_t defaultCapacity = 10000;
    static constexpr std::chrono::hours defaultIdleLifetime{24};

    /// `now` reads the time (a test may pass its own clock).
    explicit SessionTable(std::function<Clock::time_point()> now = Clock::now,
                          std::size_t capacity = defaultCapacity,
                          std::chrono::seconds idleLifetime = defaultIdleLifetime);

    /// The live session issued as `id`, counted as used now; null when the
    /// id was never issued, has expired or was dropped.
    Session find(const std::string& id);
    /// The live session whose URL token is `token`, and its id, counted as
    /// used now; none when no live session has that token.
    std::pair<std::string, Session> findByUrlToken(const std::string& token);
    /// The live session whose challenges named `opaque`, and its id, counted
    /// as used now; none when no live session has that opaque.
    std::pair<std::string, Session> findByOpaque(const std::string& opaque);
    /// A new empty session and its fresh id.
    std::pair<std::string, Session> issue();
    /// The URL token of the session `id`, made (from the system's random
    /// source) at the first call; the session is then kept as an authorised
    /// one is. Empty when `id` is not live.
    std::string urlToken(const std::string& id);
    /// Records that the challenges of the session `id` name `opaque`, so
    /// `findByOpaque` finds it. Nothing when `id` is not live.
    void noteOpaque(const std::string& id, const std::string& opaque);
    /// Moves the session known as `oldId` to a fresh id and marks it
    /// authorised (it then goes last when the table is full); the old id is
    /// forgotten; its URL token and opaque stay. Empty when `oldId` is not live.
    std::string reissueAuthorised(const std::string& oldId);

    std::size_t size() const;
    /// Reads the time from `clock` from now on (for tests).
    void useClock(std::function<Clock::time_point()> clock);

private:
    struct Entry {
        Session session{};
        Clock::time_point lastUse{};
        bool authorised = false;  // or holding a URL token: kept longest
        std::list<std::string>::iterator place{};  // in the list of its kind
        std::string urlToken{};
        std::string opaque{};
    };
    using Entries = std::unordered_map<std::string, Entry>;
    using Keys = std::unordered_map<std::string, std::string>;  // a key of a session to its id

    std::list<std::string>& listOf(const Entry& entry) { return entry.authorised ? authorised : fresh; }
    void touch(Entry& entry, Clock::time_point now);
    void add(std::string id, Entry entry, Clock::time_point now);
    void forget(Entries::iterator found);
    void dropExpired(Clock::time_point now);
    std::pair<std::string, Session> findByKey(const Keys& keys, const std::string& key);
    std::string unusedId() const;

    std::function<Clock::time_point()> now;
    const std::size_t capacity;
    const std::chrono::seconds idleLifetime;
    mutable std::mutex lock;  // guards everything below
    Entries entries;
    std::list<std::string> fresh;       // unauthorised ids, least recently used first
    std::list<std::string> authorised;  // authorised ids, the same order
    Keys byUrlToken;
    Keys byOpaque;
};

} // namespace http
