#pragma once

#include "platform/Files.h"
#include "platform/UniqueFd.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace library {

/// Scaled covers kept on disk, one file per key, in a folder of their own
/// that holds nothing else. An empty file stands for "no cover".
///
/// Writes are atomic (a file of a unique temporary name, renamed over the
/// key), so a reader sees a whole entry or none. The folder stays under
/// `limitBytes` (an entry counts at least 4 KiB, as the disk holds it): a
/// store that brings it over removes the entries least
/// recently used (a hit renews an entry's time at most once an hour) until
/// it is under nine tenths of the limit. A store that fails (a full disk, a
/// folder that cannot be made) leaves nothing behind and is only reported.
///
/// Threads: `find` and `store` on any number of threads at once; the running
/// total of the folder's size has a lock of its own, taken alone.
class CoverCache {
public:
    static constexpr std::uint64_t defaultLimit = 200ull << 20;

    struct Entry {
        platform::UniqueFd file;
        platform::FileStatus status;
    };

    /// The folder is made at the first store.
    explicit CoverCache(std::string folder, std::uint64_t limitBytes = defaultLimit);

    /// The entry of `key` (letters and digits only), opened for reading;
    /// nothing when there is none.
    std::optional<Entry> find(const std::string& key) const;

    /// Keeps `bytes` (empty for "no cover") as the entry of `key`; false when
    /// it could not be written.
    bool store(const std::string& key, std::string_view bytes);

    const std::string& folderPath() const { return folder; }

private:
    /// The size of every entry now in the folder.
    std::uint64_t measure() const;
    /// Removes the oldest entries until the folder is under nine tenths of
    /// the limit; `lock` held.
    void evict();

    const std::string folder;
    const std::uint64_t limit;
    std::mutex lock;
    /// What the folder holds, once measured; guarded by `lock`.
    std::optional<std::uint64_t> total;
};

} // namespace library
