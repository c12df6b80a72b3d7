#include "library/TagFileStream.h"

#include "platform/Files.h"

#include <algorithm>
#include <climits>

namespace library {

TagFileStream::TagFileStream(const std::string& path) : path(path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return;
    file = platform::openFile(path, platform::openRead | platform::openNonBlocking | platform::openNoTerminal);
    platform::FileStatus status;
    if (!file || !platform::statusOf(file.get(), status) || !status.isRegular() ||
        status.size > static_cast<std::uint64_t>(LONG_MAX))
        return;
    size = static_cast<long>(status.size);
    // A file of at most both is read whole, with one call.
    const long headSize = size <= 2 * cachedBytes ? size : cachedBytes;
    const long tailSize = std::min(size - headSize, cachedBytes);
    tailStart = size - tailSize;
    readable = fill(head, 0, headSize) && fill(tail, tailStart, tailSize);
}

TagLib::ByteVector TagFileStream::readBlock(unsigned long length)
{
    const long count = std::min(static_cast<long>(std::min<unsigned long>(length, LONG_MAX)), size - position);
    if (count <= 0)
        return {};
    TagLib::ByteVector block;
    if (position + count <= static_cast<long>(head.size()))
        block = head.mid(static_cast<unsigned>(position), static_cast<unsigned>(count));
    else if (position >= tailStart)
        block = tail.mid(static_cast<unsigned>(position - tailStart), static_cast<unsigned>(count));
    else if (!fill(block, position, count))
        return {};
    position += count;
    return block;
}

void TagFileStream::seek(long offset, Position from)
{
    const long base = from == Beginning ? 0 : (from == Current ? position : size);
    position = std::clamp(base + offset, 0L, size);
}

bool TagFileStream::fill(TagLib::ByteVector& block, long offset, long count) const
{
    block.resize(static_cast<unsigned>(count));
    long done = 0;
    while (done < count) {
        const long got = platform::readAt(file.get(), block.data() + done, static_cast<std::size_t>(count - done),
                                          static_cast<std::uint64_t>(offset + done));
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

} // namespace library
