#pragma once

#include <map>
#include <mutex>
#include <string>

namespace http {

/// A string map with its own lock: one browser session (owned by the
/// listener's session table), or the cookies of one request. Every entry is
/// read and written under the lock, so the connections of one browser may
/// share a store.
class StateStore {
public:
    StateStore() = default;
    StateStore(const StateStore&) = delete;
    StateStore& operator=(const StateStore&) = delete;
    virtual ~StateStore() = default;

    /// A copy of the entry's text; an absent key is inserted with the empty text.
    std::string get(const std::string& key);
    void set(const std::string& key, std::string text);
    /// Assigns `text` only when the entry is absent or empty; returns the
    /// entry's text afterwards. One step under the lock, so of several
    /// threads doing this at once, the first one's text is kept by all.
    std::string setIfEmpty(const std::string& key, std::string text);

protected:
    std::mutex lock;
    std::map<std::string, std::string> values;
};

} // namespace http
