#include "library/FolderCover.h"

#include "library/CoverSources.h"
#include "library/DirectoryEnumeration.h"
#include "library/LibraryPath.h"
#include "platform/Files.h"

namespace library {

std::string folderCoverFile(std::string_view folder)
{
    const std::string base = withoutTrailingSeparators(folder) + pathSeparator;
    DirectoryEnumeration enumeration;
    if (!enumeration.open(base))
        return {};
    std::string best;
    int bestRank = -1;
    FindData child;
    while (enumeration.next(child)) {
        const int rank = coverImageRank(child.name);
        if (rank < 0 || (bestRank >= 0 && rank >= bestRank))
            continue;
        platform::FileStatus status;
        if (platform::statusOfPath(base + child.name, status) && status.isRegular()) {
            best = base + child.name;
            bestRank = rank;
        }
    }
    return best;
}

} // namespace library
