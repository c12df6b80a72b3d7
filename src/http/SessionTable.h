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
/// least recently used unauthorised one goes first (an authorised one only
/// when none is left). Any thread; a session handed out stays valid for its
/// holder even after the table forgot it.
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
    /// A new empty session and its fresh id.
    std::pair<std::string, Session> issue();
    /// Moves the session known as `oldId` to a fresh id and marks it
    /// authorised (it then goes last when the table is full); the old id is
    /// forgotten. Empty when `oldId` is not live.
    std::string reissueAuthorised(const std::string& oldId);

    std::size_t size() const;
    /// Reads the time from `clock` from now on (for tests).
    void useClock(std::function<Clock::time_point()> clock);

private:
    struct Entry {
        Session session;
        Clock::time_point lastUse;
        bool authorised = false;
        std::list<std::string>::iterator place;  // in the list of its kind
    };
    using Entries = std::unordered_map<std::string, Entry>;

    std::list<std::string>& listOf(const Entry& entry) { return entry.authorised ? authorised : fresh; }
    void touch(Entry& entry, Clock::time_point now);
    void add(std::string id, Session session, bool isAuthorised, Clock::time_point now);
    void forget(Entries::iterator found);
    void dropExpired(std::list<std::string>& order, Clock::time_point now);
    std::string unusedId() const;

    std::function<Clock::time_point()> now;
    const std::size_t capacity;
    const std::chrono::seconds idleLifetime;
    mutable std::mutex lock;  // guards everything below
    Entries entries;
    std::list<std::string> fresh;       // unauthorised ids, least recently used first
    std::list<std::string> authorised;  // authorised ids, the same order
};

} // namespace http
