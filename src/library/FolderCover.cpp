#include "library/FolderCover.h"

#include "library/LibraryPath.h"
#include "platform/Files.h"

namespace library {

namespace {

/// `text` as written, capitalised and in upper case.
std::string inCase(std::string_view text, int variant)
{
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if ((variant == 1 && i == 0) || variant == 2)
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
    }
    return out;
}

} // namespace

std::string folderCoverFile(std::string_view folder)
{
    static constexpr std::string_view stems[] = {"cover", "folder", "front"};
    static constexpr std::string_view extensions[] = {"jpg", "jpeg", "png", "webp"};
    const std::string base = withoutTrailingSeparators(folder) + pathSeparator;
    for (std::string_view stem : stems) {
        for (std::string_view extension : extensions) {
            for (int variant = 0; variant < 3; ++variant) {
                const std::string candidate = base + inCase(stem, variant) + "." + inCase(extension, variant == 2 ? 2 : 0);
                platform::FileStatus status;
                if (platform::statusOfPath(candidate, status) && status.isRegular())
                    return candidate;
            }
        }
    }
    return {};
}

} // namespace library
