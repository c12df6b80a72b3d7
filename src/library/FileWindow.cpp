#include "library/FileWindow.h"

#include <algorithm>

namespace library {

namespace {

/// `count` bytes at `offset` of `part`, which begins at `start` in the file;
/// nothing when they do not all lie in it.
std::optional<std::string_view> within(std::string_view part, std::int64_t start, std::int64_t offset,
                                       std::size_t count)
{
    if (offset < start || offset - start > static_cast<std::int64_t>(part.size()) ||
        count > part.size() - static_cast<std::size_t>(offset - start))
        return std::nullopt;
    return part.substr(static_cast<std::size_t>(offset - start), count);
}

} // namespace

std::optional<std::string_view> FileWindow::bytes(std::int64_t offset, std::size_t count)
{
    if (offset < 0 || offset > ends.size || static_cast<std::uint64_t>(ends.size - offset) < count)
        return std::nullopt;
    if (auto found = within(ends.head, 0, offset, count))
        return found;
    if (auto found = within(ends.tail, ends.tailStart, offset, count))
        return found;
    if (auto found = within(fetched, fetchedStart, offset, count))
        return found;
    if (!ends.readAt)
        return std::nullopt;
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(std::max(count, blockSize), ends.size - offset));
    fetched.clear();
    if (!ends.readAt(offset, wanted, fetched) || fetched.size() != wanted) {
        fetched.clear();
        return std::nullopt;
    }
    fetchedStart = offset;
    return std::string_view(fetched).substr(0, count);
}

std::optional<std::string_view> FileWindow::upTo(std::int64_t offset, std::size_t count)
{
    if (offset < 0)
        return std::nullopt;
    if (offset >= ends.size)
        return std::string_view();
    return bytes(offset, static_cast<std::size_t>(std::min<std::int64_t>(count, ends.size - offset)));
}

int FileWindow::at(std::int64_t offset)
{
    const auto byte = bytes(offset, 1);
    return byte ? static_cast<unsigned char>((*byte)[0]) : -1;
}

} // namespace library
