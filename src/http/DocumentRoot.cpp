#include "http/DocumentRoot.h"

#include <algorithm>
#include <utility>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace http {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

/// Flags of every file opened: read-only, and a fifo put in a file's place
/// never blocks the open.
constexpr unsigned openFlags = platform::openRead | platform::openNoFollow | platform::openNonBlocking;
/// How long the opened root is trusted before its path is looked at again (a
/// root renamed, or a link to it pointed elsewhere).
constexpr auto recheckAfter = std::chrono::seconds(1);

/// Names known to be absent from the top of a directory while the directory
/// stays as it was: every entry made, removed or renamed there changes its
/// modification and change times. Those times come from a clock that moves
/// in ticks, so a stamp is trusted only once its tick has passed (a change in
/// the same tick would leave it as it is). Thread-safe.
class AbsentNames {
public:
    static constexpr std::size_t capacity = 4096;

    /// Whether `name` is known absent from the directory whose status is `now`.
    bool contains(const std::string& name, const platform::FileStatus& now)
    {
        std::lock_guard guard(lock);
        return sameStamp(now) && names.contains(name);
    }
    /// Notes `name` as absent from the directory whose status was `before`,
    /// read before it was found absent.
    void add(const std::string& name, const platform::FileStatus& before)
    {
        platform::FileClock tick;
        if (!platform::coarseWallClock(tick) || !(before.modified < tick) || !(before.changed < tick))
            return;
        std::lock_guard guard(lock);
        if (!sameStamp(before) || names.size() >= capacity) {
            names.clear();
            stamp = before;
        }
        names.insert(name);
    }

private:
    bool sameStamp(const platform::FileStatus& now) const
    {
        return now.modified == stamp.modified && now.changed == stamp.changed && now.identity == stamp.identity;
    }

    std::mutex lock;
    platform::FileStatus stamp;  // under lock
    std::unordered_set<std::string> names;  // under lock
};

/// The root as opened once: its canonical path and a descriptor to resolve
/// names from.
struct OpenedRoot {
    std::string configured;
    fs::path canonical;  // empty when the root could not be resolved
    platform::UniqueFd directory;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    Clock::time_point checked;  // under rootLock
    mutable AbsentNames absent;  // first parts of names looked up in vain; thread-safe
};

std::mutex rootLock;
std::shared_ptr<OpenedRoot> lastRoot;  // under rootLock
std::atomic<bool> noOpenat2{false};    // the kernel refuses the call

std::shared_ptr<OpenedRoot> openRoot(const std::string& configured)
{
    auto root = std::make_shared<OpenedRoot>();
    root->configured = configured;
    root->checked = Clock::now();
    std::error_code error;
    fs::path canonical = fs::canonical(configured, error);
    if (error)
        return root;
    root->canonical = std::move(canonical);
    root->directory = platform::openFile(root->canonical.string(), platform::openPathOnly | platform::openDirectory);
    platform::FileStatus status;
    if (root->directory && platform::statusOf(root->directory.get(), status)) {
        root->device = status.device;
        root->inode = status.identity;
    }
    return root;
}

bool isSameDirectory(const OpenedRoot& root)
{
    platform::FileStatus status;
    return root.directory && platform::statusOfPath(root.configured, status) && status.device == root.device &&
           status.identity == root.inode;
}

/// The opened root for `configured`; `reopen` forces a fresh look.
std::shared_ptr<const OpenedRoot> rootFor(const std::string& configured, bool reopen = false)
{
    std::lock_guard guard(rootLock);
    const auto now = Clock::now();
    if (lastRoot && lastRoot->configured == configured && !reopen) {
        if (now - lastRoot->checked < recheckAfter)
            return lastRoot;
        if (isSameDirectory(*lastRoot)) {
            lastRoot->checked = now;
            return lastRoot;
        }
    }
    std::shared_ptr<OpenedRoot> opened = openRoot(configured);
    // One that could not be opened (a missing root, no descriptor left) is
    // tried again next time.
    if (opened->directory)
        lastRoot = opened;
    else if (lastRoot && lastRoot->configured == configured)
        lastRoot.reset();
    return opened;
}

bool isBelow(const fs::path& root, const fs::path& path)
{
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

RootFile finish(platform::UniqueFd file)
{
    RootFile found;
    if (!platform::statusOf(file.get(), found.status) || !found.status.isRegular()) {
        found.outcome = RootFile::unopenable;
        return found;
    }
    found.outcome = RootFile::opened;
    found.file = std::move(file);
    return found;
}

/// The thorough way, for names that hold a link or climb: the whole path
/// resolved, compared with the canonical root, then opened.
RootFile openResolved(const OpenedRoot& root, std::string_view relative)
{
    RootFile found;
    if (root.canonical.empty())
        return found;
    std::error_code error;
    fs::path resolved = fs::canonical(root.configured + "/" + std::string(relative), error);
    if (error || !isBelow(root.canonical, resolved) || !fs::is_regular_file(resolved, error))
        return found;
    // The resolved path holds no link; O_NOFOLLOW refuses one put in its place
    // since.
    platform::UniqueFd file = platform::openFile(resolved.string(), openFlags);
    if (!file) {
        found.outcome = RootFile::unopenable;
        return found;
    }
    return finish(std::move(file));
}

} // namespace

RootFile openBelowRoot(const std::string& documentRoot, std::string_view relative)
{
    // A NUL would end the name early: the file opened would not be the one
    // asked for.
    if (relative.find('\0') != std::string_view::npos)
        return {};
    std::string name(relative.substr(std::min(relative.find_first_not_of('/'), relative.size())));
    // The root itself is no file.
    if (name.empty())
        return {};
    std::shared_ptr<const OpenedRoot> root = rootFor(documentRoot);
    if (!root->directory || noOpenat2.load(std::memory_order_relaxed))
        return openResolved(*root, relative);

    // A name whose first part is known to be missing from the unchanged root
    // costs no look-up (the embedded files are asked for all the time).
    const std::string first = name.substr(0, name.find('/'));
    platform::FileStatus before;
    const bool rootLives = platform::statusOf(root->directory.get(), before) && before.links > 0;
    if (rootLives && root->absent.contains(first, before))
        return {};

    platform::UniqueFd opened = platform::openBeneath(root->directory.get(), name, openFlags);
    if (opened) {
        RootFile found = finish(std::move(opened));
        // A directory, fifo or device is no file to serve.
        if (found.outcome != RootFile::opened)
            found.outcome = RootFile::absent;
        return found;
    }
    switch (errno) {
    case ENOENT:
    case ENOTDIR: {
        // Nothing of that name, unless the root itself was removed (and
        // perhaps made again) since it was opened.
        platform::FileStatus status;
        if (rootLives && platform::statusOf(root->directory.get(), status) && status.links > 0) {
            platform::FileStatus entry;
            if (!platform::statusAt(root->directory.get(), first, entry, false) && errno == ENOENT)
                root->absent.add(first, before);
            return {};
        }
        root = rootFor(documentRoot, true);
        return openResolved(*root, relative);
    }
    case ENOSYS:
        noOpenat2 = true;
        return openResolved(*root, relative);
    default:
        // A link, a way above the root, or an open that failed for want of
        // rights or descriptors: the thorough way decides, as it always did.
        return openResolved(*root, relative);
    }
}

void closeOpenedRoot(const std::string& documentRoot)
{
    std::shared_ptr<OpenedRoot> closing;  // closed once the lock is let go
    std::lock_guard guard(rootLock);
    if (lastRoot && lastRoot->configured == documentRoot)
        closing = std::exchange(lastRoot, nullptr);
}

} // namespace http
