#include "library/DirectoryEnumeration.h"

#include "library/LibraryPath.h"

#include <utility>

namespace library {

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t epochDifference = 11644473600;

FileTime toFileTime(const platform::FileClock& time)
{
    // Times before 1601 cannot be written as a file time; they read as 0.
    if (time.seconds < -epochDifference)
        return {};
    const std::uint64_t units = static_cast<std::uint64_t>(time.seconds + epochDifference) * 10000000u +
                                static_cast<std::uint64_t>(time.nanoseconds / 100);
    return FileTime::fromValue(units);
}

void fill(const platform::FileStatus& status, std::string_view name, FindData& data)
{
    const bool directory = status.isDirectory();
    data.attributes = directory ? FindData::directoryAttribute : FindData::normalAttribute;
    data.creationTime = toFileTime(status.changed);
    data.lastAccessTime = toFileTime(status.accessed);
    data.lastWriteTime = toFileTime(status.modified);
    const std::uint64_t size = directory ? 0 : status.size;
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
bool isFileOrDirectory(const platform::FileStatus& status)
{
    return status.isRegular() || status.isDirectory();
}

} // namespace

bool findFile(const std::string& path, FindData& data)
{
    platform::FileStatus status;
    if (holdsNul(path) || !platform::statusOfPath(path, status) || !isFileOrDirectory(status))
        return false;
    fill(status, fileNamePart(withoutTrailingSeparators(path)), data);
    return true;
}

bool DirectoryEnumeration::open(const std::string& directory)
{
    close();
    platform::FileStatus status;
    if (holdsNul(directory) || !reader.open(directory, status))
        return false;
    openIdentity = {status.device, status.identity};
    return true;
}

bool DirectoryEnumeration::next(FindData& data)
{
    std::string name;
    platform::FileStatus status;
    while (reader.next(name, status)) {
        if (isFileOrDirectory(status)) {
            fill(status, name, data);
            return true;
        }
    }
    return false;
}

void DirectoryEnumeration::close()
{
    reader.close();
    openIdentity = {};
}

platform::UniqueFd DirectoryEnumeration::openEntry(const std::string& name, unsigned flags) const
{
    if (holdsNul(name))
        return platform::UniqueFd();
    return reader.openEntry(name, flags);
}

} // namespace library
