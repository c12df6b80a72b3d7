#pragma once

#include "library/FindData.h"
#include "platform/DirectoryReader.h"

#include <compare>
#include <cstdint>
#include <string>
#include <utility>

namespace library {

/// Which file system object a path leads to (device and inode number), to
/// tell a directory reached twice through symbolic links.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    auto operator<=>(const FileIdentity&) const = default;
};

/// The find data of the object `path` names (symbolic links followed), with
/// the last part of `path` as its name. False, leaving `data` untouched, when
/// the path holds a NUL byte, names nothing that can be read, or names neither
/// a regular file nor a directory (a pipe, a socket or a device).
bool findFile(const std::string& path, FindData& data);

/// Enumerates the entries of one directory, "." and ".." included, in the
/// order the file system returns them. Each entry's find data follows
/// symbolic links; an entry whose target cannot be read (a dangling link, an
/// entry removed meanwhile) or is neither a regular file nor a directory is
/// passed over. Move-only owner of the open
/// directory, which the destructor or `close` releases.
///
/// Threads: one object per thread; any number may exist at once.
class DirectoryEnumeration {
public:
    DirectoryEnumeration() = default;
    DirectoryEnumeration(DirectoryEnumeration&& other) noexcept
        : reader(std::move(other.reader)), openIdentity(std::exchange(other.openIdentity, {}))
    {
    }
    DirectoryEnumeration& operator=(DirectoryEnumeration&& other) noexcept
    {
        if (this != &other) {
            reader = std::move(other.reader);
            openIdentity = std::exchange(other.openIdentity, {});
        }
        return *this;
    }
    DirectoryEnumeration(const DirectoryEnumeration&) = delete;
    DirectoryEnumeration& operator=(const DirectoryEnumeration&) = delete;

    /// Opens `directory` (closing what was open); false when it cannot be
    /// opened as a directory, or the path holds a NUL byte.
    bool open(const std::string& directory);
    /// The next entry; false at the end, on a read error or when nothing is open.
    bool next(FindData& data);
    /// Opens the entry `name` of the open directory with `platform::openFile`'s
    /// `flags`, without walking its whole path again; an empty descriptor
    /// when it cannot be opened or nothing is open.
    platform::UniqueFd openEntry(const std::string& name, unsigned flags) const;
    void close();

    bool isOpen() const { return reader.isOpen(); }
    /// The open directory's identity; all zero when nothing is open.
    FileIdentity identity() const { return openIdentity; }

private:
    platform::DirectoryReader reader;
    FileIdentity openIdentity;
};

} // namespace library
