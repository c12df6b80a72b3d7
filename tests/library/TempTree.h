#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace librarytest {

/// A fresh directory under the system's temporary directory, removed with
/// everything in it when the test ends. Paths are given relative to it.
class TempTree {
public:
    TempTree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tunelet-library-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "cannot create a temporary directory";
        root = pattern;
    }
    ~TempTree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    std::string path(const std::string& relative) const { return root + "/" + relative; }

    /// Creates the file (and its directories) with `content`.
    std::string file(const std::string& relative, const std::string& content = "x") const
    {
        const std::string full = path(relative);
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary | std::ios::trunc) << content;
        return full;
    }
    std::string directory(const std::string& relative) const
    {
        const std::string full = path(relative);
        std::filesystem::create_directories(full);
        return full;
    }
    /// A symbolic link at `relative` holding `target` as written.
    std::string link(const std::string& relative, const std::string& target) const
    {
        const std::string full = path(relative);
        if (::symlink(target.c_str(), full.c_str()) != 0)
            ADD_FAILURE() << "cannot link " << full;
        return full;
    }
    /// Sets the modification time, in whole seconds since 1970.
    static void setModified(const std::string& full, long seconds)
    {
        const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        if (::utimensat(AT_FDCWD, full.c_str(), times, 0) != 0)
            ADD_FAILURE() << "cannot set the time of " << full;
    }

    std::string root;
};

/// The bytes of the file at `path`; empty when it cannot be read.
inline std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace librarytest
