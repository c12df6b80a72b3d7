#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

/// Polls `condition` until it holds (true) or `limit` has passed (false).
/// The limit only ends the wait for a condition that never comes, so it is
/// generous: a sanitizer build on a loaded machine runs many times slower.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace testing_support
