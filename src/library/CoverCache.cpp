#include "library/CoverCache.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <vector>

namespace library {
namespace fs = std::filesystem;

namespace {

/// A hit renews its entry's time when it is older than this, so a cover in
/// use outlives one not shown for a while without a write on every hit.
constexpr std::int64_t renewAfterSeconds = 3600;

/// Makes every temporary name of the process unique.
std::atomic<std::uint64_t> temporaryCount{0};

/// What an entry takes on the disk: at least a block, so that the many
/// "no cover" entries count too.
std::uint64_t footprint(std::uint64_t size)
{
    return std::max<std::uint64_t>(size, 4096);
}

bool writeAll(int file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const long written = platform::writeSome(file, bytes.data(), bytes.size());
        if (written <= 0) {
            if (written < 0 && errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

CoverCache::CoverCache(std::string folder, std::uint64_t limitBytes) : folder(std::move(folder)), limit(limitBytes)
{
}

std::optional<CoverCache::Entry> CoverCache::find(const std::string& key) const
{
    const std::string path = folder + "/" + key;
    Entry entry;
    entry.file = platform::openFile(path, platform::openRead | platform::openNoFollow | platform::openNonBlocking);
    if (!entry.file || !platform::statusOf(entry.file.get(), entry.status) || !entry.status.isRegular())
        return std::nullopt;
    platform::FileClock now;
    if (platform::coarseWallClock(now) && now.seconds - entry.status.modified.seconds > renewAfterSeconds) {
        std::error_code ignored;
        fs::last_write_time(path, fs::file_time_type::clock::now(), ignored);
    }
    return entry;
}

bool CoverCache::store(const std::string& key, std::string_view bytes)
{
    std::error_code error;
    fs::create_directories(folder, error);
    const std::string path = folder + "/" + key;
    const std::string temporary = folder + "/." + key + "." + std::to_string(++temporaryCount) + ".part";
    bool written = false;
    {
        platform::UniqueFd file =
            platform::openFile(temporary, platform::openWrite | platform::openCreate | platform::openTruncate, 0644);
        written = file && writeAll(file.get(), bytes) && platform::closeFile(file);
    }
    if (!written || !platform::renamePath(temporary, path)) {
        platform::removeFile(temporary);
        return false;
    }

    std::lock_guard guard(lock);
    if (!total)
        total = measure();
    else
        *total += footprint(bytes.size());
    if (*total > limit)
        evict();
    return true;
}

std::uint64_t CoverCache::measure() const
{
    std::uint64_t sum = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code sizeError;
        const std::uintmax_t size = it->file_size(sizeError);
        if (!sizeError)
            sum += footprint(size);
    }
    return sum;
}

void CoverCache::evict()
{
    struct Found {
        fs::file_time_type time;
        std::uint64_t size;
        fs::path path;
    };
    std::vector<Found> entries;
    std::uint64_t sum = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        const std::uintmax_t size = it->file_size(entryError);
        const fs::file_time_type time = it->last_write_time(entryError);
        if (entryError)
            continue;
        entries.push_back({time, footprint(size), it->path()});
        sum += footprint(size);
    }
    std::sort(entries.begin(), entries.end(), [](const Found& a, const Found& b) { return a.time < b.time; });
    const std::uint64_t target = limit / 10 * 9;
    for (const Found& entry : entries) {
        if (sum <= target)
            break;
        std::error_code removeError;
        if (fs::remove(entry.path, removeError))
            sum -= entry.size;
    }
    total = sum;
}

} // namespace library
