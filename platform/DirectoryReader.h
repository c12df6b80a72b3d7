#pragma once

#include "platform/Files.h"

#include <string>

namespace platform {

/// Reads the entries of one open directory, in the order the file system
/// keeps them ("." and ".." among them). Move-only; owns the open directory and
/// closes it when destroyed. Belongs to one thread at a time.
class DirectoryReader {
public:
    DirectoryReader() = default;
    DirectoryReader(DirectoryReader&& other) noexcept;
    DirectoryReader& operator=(DirectoryReader&& other) noexcept;
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;
    ~DirectoryReader();

    /// Opens `path` (closing what was open) and describes the directory
    /// itself in `status`; false when it cannot be opened or described.
    bool open(const std::string& path, FileStatus& status);
    /// The next entry whose status can be read (links followed), its name
    /// and status; false at the end or when nothing is open. The status is
    /// read relative to the open directory, so it is that of the entry just
    /// read even if the directory's path changed meanwhile.
    bool next(std::string& name, FileStatus& status);
    /// Opens the entry `name` of the open directory with `openFile`'s
    /// `flags`, relative to the directory where the system can (no walk of
    /// the whole path again); an empty descriptor when it cannot be opened
    /// or nothing is open.
    UniqueFd openEntry(const std::string& name, unsigned flags) const;
    void close();
    bool isOpen() const { return handle != nullptr; }

private:
    void* handle = nullptr;
};

} // namespace platform
