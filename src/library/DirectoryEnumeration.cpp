#include "library/DirectoryEnumeration.h"

#include "library/LibraryPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <utility>

namespace library {

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t epochDifference = 11644473600;

FileTime toFileTime(const struct timespec& time)
{
    // Times before 1601 cannot be written as a file time; they read as 0.
    if (time.tv_sec < -epochDifference)
        return {};
    const std::uint64_t units = static_cast<std::uint64_t>(time.tv_sec + epochDifference) * 10000000u +
                                static_cast<std::uint64_t>(time.tv_nsec / 100);
    return FileTime::fromValue(units);
}

void fill(const struct stat& status, std::string_view name, FindData& data)
{
    const bool directory = S_ISDIR(status.st_mode);
    data.attributes = directory ? FindData::directoryAttribute : FindData::normalAttribute;
    data.creationTime = toFileTime(status.st_ctim);
    data.lastAccessTime = toFileTime(status.st_atim);
    data.lastWriteTime = toFileTime(status.st_mtim);
    const std::uint64_t size = directory ? 0 : static_cast<std::uint64_t>(status.st_size);
    data.sizeHigh = static_cast<std::uint32_t>(size >> 32);
    data.sizeLow = static_cast<std::uint32_t>(size);
    data.name.assign(name);
}

bool holdsNul(const std::string& path)
{
    return path.find('\0') != std::string::npos;
}

// A pipe, socket or device is never shown, read or enqueued: opening one can
// wait for ever or act on it.
bool isFileOrDirectory(const struct stat& status)
{
    return S_ISREG(status.st_mode) || S_ISDIR(status.st_mode);
}

} // namespace

bool findFile(const std::string& path, FindData& data)
{
    struct stat status {};
    if (holdsNul(path) || ::stat(path.c_str(), &status) != 0 || !isFileOrDirectory(status))
        return false;
    fill(status, fileNamePart(withoutTrailingSeparators(path)), data);
    return true;
}

DirectoryEnumeration::~DirectoryEnumeration()
{
    close();
}

DirectoryEnumeration::DirectoryEnumeration(DirectoryEnumeration&& other) noexcept
    : handle(std::exchange(other.handle, nullptr)), openIdentity(std::exchange(other.openIdentity, {}))
{
}

DirectoryEnumeration& DirectoryEnumeration::operator=(DirectoryEnumeration&& other) noexcept
{
    if (this != &other) {
        close();
        handle = std::exchange(other.handle, nullptr);
        openIdentity = std::exchange(other.openIdentity, {});
    }
    return *this;
}

bool DirectoryEnumeration::open(const std::string& directory)
{
    close();
    if (holdsNul(directory))
        return false;
    DIR* stream = ::opendir(directory.c_str());
    if (stream == nullptr)
        return false;
    struct stat status {};
    if (::fstat(::dirfd(stream), &status) != 0) {
        ::closedir(stream);
        return false;
    }
    handle = stream;
    openIdentity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    return true;
}

bool DirectoryEnumeration::next(FindData& data)
{
    DIR* stream = static_cast<DIR*>(handle);
    if (stream == nullptr)
        return false;
    while (const struct dirent* entry = ::readdir(stream)) {
        struct stat status {};
        // Relative to the open directory, so the entry is the one just read
        // even if the directory's path has changed meanwhile.
        if (::fstatat(::dirfd(stream), entry->d_name, &status, 0) != 0 || !isFileOrDirectory(status))
            continue;
        fill(status, entry->d_name, data);
        return true;
    }
    return false;
}

void DirectoryEnumeration::close()
{
    if (handle != nullptr)
        ::closedir(static_cast<DIR*>(std::exchange(handle, nullptr)));
    openIdentity = {};
}

} // namespace library
