#include "http/SessionTable.h"

#include "http/Nonce.h"
#include "platform/RandomSource.h"
#include "platform/Guid.h"

#include <array>
#include <cstdio>
#include <optional>

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
    dropExpired(time);
    auto found = entries.find(id);
    if (found == entries.end())
        return nullptr;
    touch(found->second, time);
    return found->second.session;
}

std::pair<std::string, SessionTable::Session> SessionTable::findByUrlToken(const std::string& token)
{
    std::lock_guard guard(lock);
    return findByKey(byUrlToken, token);
}

std::pair<std::string, SessionTable::Session> SessionTable::findByOpaque(const std::string& opaque)
{
    std::lock_guard guard(lock);
    return findByKey(byOpaque, opaque);
}

std::pair<std::string, SessionTable::Session> SessionTable::findByKey(const Keys& keys, const std::string& key)
{
    Clock::time_point time = now();
    dropExpired(time);
    auto named = keys.find(key);
    if (key.empty() || named == keys.end())
        return {};
    Entry& entry = entries.at(named->second);
    touch(entry, time);
    return {named->second, entry.session};
}

std::pair<std::string, SessionTable::Session> SessionTable::issue()
{
    auto session = std::make_shared<StateStore>();
    std::lock_guard guard(lock);
    Clock::time_point time = now();
    dropExpired(time);
    std::string id = unusedId();
    add(id, Entry{.session = session}, time);
    return {id, session};
}

std::string SessionTable::urlToken(const std::string& id)
{
    std::lock_guard guard(lock);
    auto found = entries.find(id);
    if (found == entries.end())
        return {};
    Entry& entry = found->second;
    if (entry.urlToken.empty()) {
        // Only the system's random source: the token opens downloads to
        // whoever holds it, so it must not be guessable from other draws.
        std::string token;
        do {
            std::optional<platform::Guid> bytes = platform::newGuid();
            if (!bytes)
                return {};
            token = platform::guidText(*bytes);
            std::erase(token, '-');
        } while (byUrlToken.contains(token));
        entry.urlToken = token;
        byUrlToken.emplace(std::move(token), id);
        if (!entry.authorised) {
            authorised.splice(authorised.end(), fresh, entry.place);
            entry.authorised = true;
        }
    }
    return entry.urlToken;
}

void SessionTable::noteOpaque(const std::string& id, const std::string& opaque)
{
    std::lock_guard guard(lock);
    auto found = entries.find(id);
    if (found == entries.end() || opaque.empty() || found->second.opaque == opaque)
        return;
    if (!found->second.opaque.empty())
        byOpaque.erase(found->second.opaque);
    found->second.opaque = opaque;
    byOpaque[opaque] = id;
}

std::string SessionTable::reissueAuthorised(const std::string& oldId)
{
    std::lock_guard guard(lock);
    Clock::time_point time = now();
    auto found = entries.find(oldId);
    if (found == entries.end())
        return {};
    Entry entry = std::move(found->second);
    forget(found);
    std::string id = unusedId();
    entry.authorised = true;
    add(id, std::move(entry), time);
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

void SessionTable::add(std::string id, Entry entry, Clock::time_point time)
{
    while (entries.size() >= capacity)
        forget(entries.find(fresh.empty() ? authorised.front() : fresh.front()));
    std::list<std::string>& order = listOf(entry);
    order.push_back(id);
    entry.place = std::prev(order.end());
    entry.lastUse = time;
    if (!entry.urlToken.empty())
        byUrlToken[entry.urlToken] = id;
    if (!entry.opaque.empty())
        byOpaque[entry.opaque] = id;
    entries.emplace(std::move(id), std::move(entry));
}

void SessionTable::forget(Entries::iterator found)
{
    const Entry& entry = found->second;
    listOf(entry).erase(entry.place);
    byUrlToken.erase(entry.urlToken);
    if (auto named = byOpaque.find(entry.opaque); named != byOpaque.end() && named->second == found->first)
        byOpaque.erase(named);
    entries.erase(found);
}

void SessionTable::dropExpired(Clock::time_point time)
{
    // Each list runs from the least recently used, so only its front can be due.
    for (std::list<std::string>* order : {&fresh, &authorised}) {
        while (!order->empty()) {
            auto found = entries.find(order->front());
            if (time - found->second.lastUse < idleLifetime)
                break;
            forget(found);
        }
    }
}

std::string SessionTable::unusedId() const
{
    // A fresh GUID never repeats; without one, 128 random bits stand in.
    for (;;) {
        std::string id = newSessionId();
        if (id.empty()) {
            std::array<std::uint32_t, 4> words{};
            platform::randomWords(words);
            char text[33];
            std::snprintf(text, sizeof text, "%08x%08x%08x%08x", words[0], words[1], words[2], words[3]);
            id = text;
        }
        if (!entries.contains(id))
            return id;
    }
}

} // namespace http
