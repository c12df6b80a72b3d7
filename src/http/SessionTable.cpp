#include "http/SessionTable.h"

#include "http/Nonce.h"
#include "http/Random.h"

#include <array>
#include <cstdio>

namespace http {

SessionTable::SessionTable(std::function<Clock::time_point()> now, std::size_t capacity,
                           std::chrono::seconds idleLifetime)
    : now(std::move(now)), capacity(capacity == 0 ? 1 : capacity), idleLifetime(idleLifetime)
{
}

SessionTable::Session SessionTable::find(const std::string& id)
{
    std::lock_guard guard(lock);
    Clock::time_point time = now();
    dropExpired(fresh, time);
    dropExpired(authorised, time);
    auto found = entries.find(id);
    if (found == entries.end())
        return nullptr;
    touch(found->second, time);
    return found->second.session;
}

std::pair<std::string, SessionTable::Session> SessionTable::issue()
{
    auto session = std::make_shared<StateStore>();
    std::lock_guard guard(lock);
    Clock::time_point time = now();
    dropExpired(fresh, time);
    dropExpired(authorised, time);
    std::string id = unusedId();
    add(id, session, false, time);
    return {id, session};
}

std::string SessionTable::reissueAuthorised(const std::string& oldId)
{
    std::lock_guard guard(lock);
    Clock::time_point time = now();
    auto found = entries.find(oldId);
    if (found == entries.end())
        return {};
    Session session = found->second.session;
    forget(found);
    std::string id = unusedId();
    add(id, std::move(session), true, time);
    return id;
}

std::size_t SessionTable::size() const
{
    std::lock_guard guard(lock);
    return entries.size();
}

void SessionTable::useClock(std::function<Clock::time_point()> clock)
{
    std::lock_guard guard(lock);
    now = std::move(clock);
}

void SessionTable::touch(Entry& entry, Clock::time_point time)
{
    entry.lastUse = time;
    std::list<std::string>& order = listOf(entry);
    order.splice(order.end(), order, entry.place);
}

void SessionTable::add(std::string id, Session session, bool isAuthorised, Clock::time_point time)
{
    while (entries.size() >= capacity)
        forget(entries.find(fresh.empty() ? authorised.front() : fresh.front()));
    std::list<std::string>& order = isAuthorised ? authorised : fresh;
    order.push_back(id);
    entries.emplace(std::move(id), Entry{std::move(session), time, isAuthorised, std::prev(order.end())});
}

void SessionTable::forget(Entries::iterator found)
{
    listOf(found->second).erase(found->second.place);
    entries.erase(found);
}

void SessionTable::dropExpired(std::list<std::string>& order, Clock::time_point time)
{
    // Each list runs from the least recently used, so only its front can be due.
    while (!order.empty()) {
        auto found = entries.find(order.front());
        if (time - found->second.lastUse < idleLifetime)
            return;
        forget(found);
    }
}

std::string SessionTable::unusedId() const
{
    // A fresh GUID never repeats; without one, 128 random bits stand in.
    for (;;) {
        std::string id = newSessionId();
        if (id.empty()) {
            std::array<std::uint32_t, 4> words{};
            randomWords(words);
            char text[33];
            std::snprintf(text, sizeof text, "%08x%08x%08x%08x", words[0], words[1], words[2], words[3]);
            id = text;
        }
        if (!entries.contains(id))
            return id;
    }
}

} // namespace http
