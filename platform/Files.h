#pragma once

#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

/// A wall-clock time as the file system keeps it: seconds since 1970 (UTC)
/// and the nanoseconds past them.
struct FileClock {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    auto operator<=>(const FileClock&) const = default;
};

/// What the file system says of one entry.
struct FileStatus {
    enum class Kind { other, regular, directory, link };
    Kind kind = Kind::other;
    std::uint64_t size = 0;
    FileClock accessed;
    FileClock modified;
    FileClock changed;         // the entry's own data (name, rights, links)
    std::uint64_t device = 0;  // with `identity`, names the file whatever its path
    std::uint64_t identity = 0;
    std::uint64_t links = 0;   // 0 once the entry was removed
    unsigned permissions = 0;  // read, write and run rights, as octal 0777 and the set-id bits

    bool isRegular() const { return kind == Kind::regular; }
    bool isDirectory() const { return kind == Kind::directory; }
};

/// How `openFile` opens. Every descriptor it makes is closed in programs the
/// process starts.
enum OpenFlags : unsigned {
    openRead = 0,
    openWrite = 1u << 0,
    openReadWrite = 1u << 1,
    openCreate = 1u << 2,      // with the rights given
    openTruncate = 1u << 3,
    openNonBlocking = 1u << 4, // a fifo never blocks the open
    openNoFollow = 1u << 5,    // a link as last part fails
    openDirectory = 1u << 6,   // anything but a directory fails
    openPathOnly = 1u << 7,    // only to name the entry in later calls
    openNoTerminal = 1u << 8,  // a terminal never becomes the controlling one
    /// Reading leaves the file's access time as it was (where the system
    /// lets this process: its owner's, on Linux; otherwise opened as usual).
    openNoAccessTime = 1u << 9,
};

/// Every function below may be called from any thread. Failures come back as
/// false, -1 or an empty descriptor, with `errno` telling why.

/// Opens `path`; `permissions` are those of a file `openCreate` makes.
UniqueFd openFile(const std::string& path, unsigned flags, unsigned permissions = 0644);
/// Opens `name` in the open directory `directory`, as `openFile` would.
UniqueFd openFileAt(int directory, const std::string& name, unsigned flags, unsigned permissions = 0644);
/// Opens `name` relative to the open directory `directory` without ever
/// leaving it: a link anywhere in the name, or a ".." above it, fails.
/// Fails with ENOSYS where the system cannot resolve names that way.
UniqueFd openBeneath(int directory, const std::string& name, unsigned flags);

/// The status of an open file, of a path (links followed), of a path itself
/// (a link as last part described, not followed), and of `name` in the
/// open directory `directory`.
bool statusOf(int file, FileStatus& status);
bool statusOfPath(const std::string& path, FileStatus& status);
bool linkStatusOfPath(const std::string& path, FileStatus& status);
bool statusAt(int directory, const std::string& name, FileStatus& status, bool followLinks);

/// One read or write as the system does it: the count moved, 0 at the end of
/// the file, -1 on failure (EINTR included; the caller decides to retry).
long readSome(int file, void* buffer, std::size_t size);
long writeSome(int file, const void* buffer, std::size_t size);
/// One read from byte `offset` on, without moving the file's own offset.
long readAt(int file, void* buffer, std::size_t size, std::uint64_t offset);
/// Moves the file's offset to byte `offset`.
bool seekTo(int file, std::uint64_t offset);

/// Waits until what was written to `file` (a directory too: its entries) is
/// on the disk.
bool syncFile(int file);
/// Takes the exclusive advisory lock of `file` without waiting; false when
/// another open description holds it. Released when the descriptor closes.
bool tryLockExclusive(int file);
bool setPermissions(int file, unsigned permissions);
/// Closes what `file` owns and says whether the close succeeded (a write
/// that failed late shows here).
bool closeFile(UniqueFd& file);
/// A second descriptor of the open `file`, closed in programs the process
/// starts.
UniqueFd duplicateFile(int file);

/// The absolute path `path` names once every link in it is followed; empty
/// when some part of it cannot be resolved.
std::string resolvedPath(const std::string& path);

bool renamePath(const std::string& from, const std::string& to);
bool removeFile(const std::string& path);

/// The wall clock to the tick of the clock file times are stamped with.
bool coarseWallClock(FileClock& now);

} // namespace platform
