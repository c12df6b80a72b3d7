#pragma once

#include "library/TrackTags.h"

#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace library {

/// The tags of the files read last, each kept with the size and modification
/// time the file had when read, so a changed file is read again. Holds at
/// most `capacity` files; the one used longest ago goes first. A file that
/// could not be read is remembered as such (nothing), so it is not tried on
/// every request.
///
/// Any number of threads at once (one lock, held only to look up or store,
/// never while a file is read). Nothing throws.
class RecentTags {
public:
    explicit RecentTags(std::size_t capacity = 4096) : capacity(capacity == 0 ? 1 : capacity) {}

    /// What a file is, on disk now: its size in bytes and its modification
    /// time in seconds since 1970 (UTC).
    struct Stamp {
        std::uint64_t size = 0;
        std::int64_t modified = 0;
        bool operator==(const Stamp&) const = default;
    };

    /// The remembered result for `path` when it was read at `stamp`;
    /// `found` is false when nothing is remembered for that stamp.
    std::optional<TrackTags> find(std::string_view path, const Stamp& stamp, bool& found);

    /// Remembers `tags` (nothing: unreadable) for `path` at `stamp`.
    void store(std::string_view path, const Stamp& stamp, std::optional<TrackTags> tags);

    std::size_t size() const;

private:
    struct Entry {
        std::string path;
        Stamp stamp;
        std::optional<TrackTags> tags;
    };
    using Order = std::list<Entry>;

    const std::size_t capacity;
    mutable std::mutex lock;
    /// Most recently used first.
    Order order;
    std::unordered_map<std::string_view, Order::iterator> byPath;
};

} // namespace library
