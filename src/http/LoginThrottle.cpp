#include "http/LoginThrottle.h"

#include <algorithm>

namespace http {

LoginThrottle::LoginThrottle(std::function<Clock::time_point()> now, std::size_t capacity)
    : now(std::move(now)), capacity(capacity == 0 ? 1 : capacity)
{
}

std::chrono::seconds LoginThrottle::lockedFor(std::string_view address)
{
    if (remembered.load(std::memory_order_acquire) == 0)
        return {};
    std::lock_guard guard(lock);
    auto found = records.find(std::string(address));
    if (found == records.end())
        return {};
    const Clock::time_point time = now();
    if (time >= found->second.lockedUntil) {
        if (time - found->second.lastFailure >= memory) {
            records.erase(found);
            remembered = records.size();
        }
        return {};
    }
    return std::chrono::ceil<std::chrono::seconds>(found->second.lockedUntil - time);
}

void LoginThrottle::failed(std::string_view address)
{
    std::lock_guard guard(lock);
    const Clock::time_point time = now();
    auto found = records.find(std::string(address));
    if (found == records.end()) {
        if (records.size() >= capacity)
            dropOldest();
        found = records.emplace(std::string(address), Record{}).first;
    }
    Record& record = found->second;
    if (time - record.lastFailure >= memory)
        record.failures = 0;
    record.lastFailure = time;
    if (++record.failures > freeFailures) {
        const int doublings = std::min(record.failures - freeFailures - 1, 30);
        record.lockedUntil = time + std::min<Clock::duration>(std::chrono::seconds(1LL << doublings), longestLock);
    }
    remembered = records.size();
}

void LoginThrottle::succeeded(std::string_view address)
{
    if (remembered.load(std::memory_order_acquire) == 0)
        return;
    std::lock_guard guard(lock);
    records.erase(std::string(address));
    remembered = records.size();
}

void LoginThrottle::useClock(std::function<Clock::time_point()> clock)
{
    std::lock_guard guard(lock);
    now = std::move(clock);
}

void LoginThrottle::dropOldest()
{
    auto oldest = std::min_element(records.begin(), records.end(), [](const auto& a, const auto& b) {
        return a.second.lastFailure < b.second.lastFailure;
    });
    if (oldest != records.end())
        records.erase(oldest);
}

} // namespace http
