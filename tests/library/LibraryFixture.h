#pragma once

#include "settings/Settings.h"
#include "library/MediaLibrary.h"
#include "library/TempTree.h"

#include <string>
#include <vector>

namespace librarytest {

/// A media library whose settings file lives in a temporary tree; the shared
/// directories are whatever a test puts into `settings.snapshot().sharedDirs`.
class LibraryTest : public ::testing::Test {
protected:
    TempTree tree;
    host::Settings settings{tree.path("gen_Tunelet.ini")};
    library::MediaLibrary library{settings};

    std::vector<std::string> expand(const std::string& path) const
    {
        std::vector<std::string> out;
        library.expandPath(path, out);
        return out;
    }
};

} // namespace librarytest
