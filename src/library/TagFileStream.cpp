#include "library/TagFileStream.h"

#include "platform/Files.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace library {

// Reading a library's tags is no use of its files: their access times stay
// (and no read dirties every file's record on the disk).
const unsigned TagFileStream::openFlags =
    platform::openRead | platform::openNonBlocking | platform::openNoTerminal | platform::openNoAccessTime;

platform::UniqueFd TagFileStream::open(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return platform::UniqueFd();
    return platform::openFile(path, openFlags);
}

TagFileStream::TagFileStream(const std::string& path) : TagFileStream(path, owned, open(path)) {}

TagFileStream::TagFileStream(const std::string& path, TagLib::ByteVector& store, platform::UniqueFd opened)
    : file(std::move(opened)), path(path), cache(store)
{
    platform::FileStatus status;
    if (!file || !platform::statusOf(file.get(), status) || !status.isRegular() ||
        status.size > static_cast<std::uint64_t>(LONG_MAX))
        return;
    size = static_cast<long>(status.size);
    // A file of at most both is read whole, with one call.
    headSize = size <= 2 * cachedBytes ? size : cachedBytes;
    const long tailSize = std::min(size - headSize, cachedBytes);
    tailStart = size - tailSize;
    // Kept memory is reused: only bytes beyond what it held are cleared.
    cache.resize(static_cast<unsigned>(headSize + tailSize));
    readable = fill(cache.data(), 0, headSize) && fill(cache.data() + headSize, tailStart, tailSize);
}

FileEnds TagFileStream::ends() const
{
    FileEnds ends;
    if (!readable)
        return ends;
    // Read through the store's constant face, which never copies it.
    const TagLib::ByteVector& bytes = cache;
    const auto head = static_cast<std::size_t>(headSize);
    ends.head = std::string_view(bytes.data(), head);
    ends.tail = std::string_view(bytes.data() + head, static_cast<std::size_t>(bytes.size()) - head);
    ends.tailStart = tailStart;
    ends.size = size;
    ends.readAt = [this](std::int64_t offset, std::size_t count, std::string& into) {
        if (offset < 0 || count > static_cast<std::size_t>(LONG_MAX) || offset > size ||
            static_cast<long>(count) > size - offset)
            return false;
        into.resize(count);
        return fill(into.data(), static_cast<long>(offset), static_cast<long>(count));
    };
    return ends;
}

TagLib::ByteVector TagFileStream::readBlock(unsigned long length)
{
    const long count = std::min(static_cast<long>(std::min<unsigned long>(length, LONG_MAX)), size - position);
    if (count <= 0)
        return {};
    TagLib::ByteVector block;
    if (position + count <= headSize) {
        block = cache.mid(static_cast<unsigned>(position), static_cast<unsigned>(count));
    } else if (position >= tailStart) {
        block = cache.mid(static_cast<unsigned>(headSize + position - tailStart), static_cast<unsigned>(count));
    } else {
        block.resize(static_cast<unsigned>(count));
        if (!fill(block.data(), position, count))
            return {};
    }
    position += count;
    return block;
}

void TagFileStream::seek(long offset, Position from)
{
    const long base = from == Beginning ? 0 : (from == Current ? position : size);
    position = std::clamp(base + offset, 0L, size);
}

bool TagFileStream::fill(char* to, long offset, long count) const
{
    long done = 0;
    while (done < count) {
        const long got = platform::readAt(file.get(), to + done, static_cast<std::size_t>(count - done),
                                          static_cast<std::uint64_t>(offset + done));
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

} // namespace library
