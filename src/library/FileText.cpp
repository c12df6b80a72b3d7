#include "library/FileText.h"

#include "platform/Files.h"

#include <algorithm>
#include <cerrno>

namespace library {

bool readFileHead(const std::string& path, std::size_t maxBytes, std::string& text)
{
    text.clear();
    if (path.find('\0') != std::string::npos)
        return false;
    // Non-blocking, so that opening a pipe returns at once; the type test
    // below then refuses it.
    platform::UniqueFd file = platform::openFile(path, platform::openRead | platform::openNonBlocking);
    platform::FileStatus status;
    if (!file || !platform::statusOf(file.get(), status) || !status.isRegular())
        return false;
    constexpr std::size_t blockSize = 64 * 1024;
    while (text.size() < maxBytes) {
        const std::size_t had = text.size();
        const std::size_t want = std::min(blockSize, maxBytes - had);
        text.resize(had + want);
        const long got = platform::readSome(file.get(), text.data() + had, want);
        if (got < 0 && errno == EINTR) {
            text.resize(had);
            continue;
        }
        text.resize(had + (got > 0 ? static_cast<std::size_t>(got) : 0));
        if (got <= 0)
            break;
    }
    return true;
}

} // namespace library
