#include "platform/Files.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <ctime>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

int systemFlags(unsigned flags)
{
    int result = O_CLOEXEC;
    if (flags & openReadWrite)
        result |= O_RDWR;
    else if (flags & openWrite)
        result |= O_WRONLY;
    else
        result |= O_RDONLY;
    if (flags & openCreate)
        result |= O_CREAT;
    if (flags & openTruncate)
        result |= O_TRUNC;
    if (flags & openNonBlocking)
        result |= O_NONBLOCK;
    if (flags & openNoFollow)
        result |= O_NOFOLLOW;
    if (flags & openDirectory)
        result |= O_DIRECTORY;
    if (flags & openPathOnly)
        result |= O_PATH;
    if (flags & openNoTerminal)
        result |= O_NOCTTY;
    if (flags & openNoAccessTime)
        result |= O_NOATIME;
    return result;
}

FileClock clockOf(const timespec& time)
{
    return {static_cast<std::int64_t>(time.tv_sec), static_cast<std::int64_t>(time.tv_nsec)};
}

void fill(const struct stat& from, FileStatus& status)
{
    if (S_ISREG(from.st_mode))
        status.kind = FileStatus::Kind::regular;
    else if (S_ISDIR(from.st_mode))
        status.kind = FileStatus::Kind::directory;
    else if (S_ISLNK(from.st_mode))
        status.kind = FileStatus::Kind::link;
    else
        status.kind = FileStatus::Kind::other;
    status.size = from.st_size > 0 ? static_cast<std::uint64_t>(from.st_size) : 0;
    status.accessed = clockOf(from.st_atim);
    status.modified = clockOf(from.st_mtim);
    status.changed = clockOf(from.st_ctim);
    status.device = static_cast<std::uint64_t>(from.st_dev);
    status.identity = static_cast<std::uint64_t>(from.st_ino);
    status.links = static_cast<std::uint64_t>(from.st_nlink);
    status.permissions = static_cast<unsigned>(from.st_mode & 07777);
}

bool filled(int result, const struct stat& from, FileStatus& status)
{
    if (result != 0)
        return false;
    fill(from, status);
    return true;
}

} // namespace

UniqueFd openFile(const std::string& path, unsigned flags, unsigned permissions)
{
    return openFileAt(AT_FDCWD, path, flags, permissions);
}

UniqueFd openFileAt(int directory, const std::string& name, unsigned flags, unsigned permissions)
{
    UniqueFd file(::openat(directory, name.c_str(), systemFlags(flags), static_cast<mode_t>(permissions)));
    // Only the owner (or a process that may act as any) keeps the time.
    if (!file && errno == EPERM && (flags & openNoAccessTime))
        file = UniqueFd(::openat(directory, name.c_str(), systemFlags(flags & ~openNoAccessTime), static_cast<mode_t>(permissions)));
    return file;
}

UniqueFd openBeneath(int directory, const std::string& name, unsigned flags)
{
    open_how how{};
    how.flags = static_cast<std::uint64_t>(systemFlags(flags));
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    long result;
    do
        result = ::syscall(SYS_openat2, directory, name.c_str(), &how, sizeof how);
    while (result < 0 && errno == EINTR);
    return UniqueFd(static_cast<int>(result));
}

bool statusOf(int file, FileStatus& status)
{
    struct stat from {};
    return filled(::fstat(file, &from), from, status);
}

bool statusOfPath(const std::string& path, FileStatus& status)
{
    struct stat from {};
    return filled(::stat(path.c_str(), &from), from, status);
}

bool linkStatusOfPath(const std::string& path, FileStatus& status)
{
    struct stat from {};
    return filled(::lstat(path.c_str(), &from), from, status);
}

bool statusAt(int directory, const std::string& name, FileStatus& status, bool followLinks)
{
    struct stat from {};
    return filled(::fstatat(directory, name.c_str(), &from, followLinks ? 0 : AT_SYMLINK_NOFOLLOW), from, status);
}

long readSome(int file, void* buffer, std::size_t size)
{
    return static_cast<long>(::read(file, buffer, size));
}

long writeSome(int file, const void* buffer, std::size_t size)
{
    return static_cast<long>(::write(file, buffer, size));
}

long readAt(int file, void* buffer, std::size_t size, std::uint64_t offset)
{
    return static_cast<long>(::pread(file, buffer, size, static_cast<off_t>(offset)));
}

bool seekTo(int file, std::uint64_t offset)
{
    return ::lseek(file, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool syncFile(int file)
{
    return ::fsync(file) == 0;
}

bool tryLockExclusive(int file)
{
    return ::flock(file, LOCK_EX | LOCK_NB) == 0;
}

bool setPermissions(int file, unsigned permissions)
{
    return ::fchmod(file, static_cast<mode_t>(permissions)) == 0;
}

bool closeFile(UniqueFd& file)
{
    return !file || ::close(file.release()) == 0;
}

UniqueFd duplicateFile(int file)
{
    return UniqueFd(::fcntl(file, F_DUPFD_CLOEXEC, 0));
}

std::string resolvedPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool renamePath(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool coarseWallClock(FileClock& now)
{
    timespec tick{};
    if (::clock_gettime(CLOCK_REALTIME_COARSE, &tick) != 0)
        return false;
    now = clockOf(tick);
    return true;
}

} // namespace platform
