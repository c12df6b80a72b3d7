#include "library/FileEndsWindow.h"

#include <algorithm>

namespace library {

namespace {

/// The part of `range` (which begins at `start` in the file) holding
/// [offset, offset + count), when it holds all of it.
std::optional<std::string_view> within(std::string_view range, std::int64_t start, std::int64_t offset,
                                       std::size_t count)
{
    if (offset < start || offset - start > static_cast<std::int64_t>(range.size()) ||
        count > range.size() - static_cast<std::size_t>(offset - start))
        return std::nullopt;
    return range.substr(static_cast<std::size_t>(offset - start), count);
}

} // namespace

std::optional<std::string_view> FileEndsWindow::bytes(std::int64_t offset, std::size_t count)
{
    if (offset < 0 || offset > ends.size || count > static_cast<std::uint64_t>(ends.size - offset))
        return std::nullopt;
    if (auto found = within(ends.head, 0, offset, count))
        return found;
    if (auto found = within(ends.tail, ends.tailStart, offset, count))
        return found;
    if (readStart >= 0)
        if (auto found = within(read, readStart, offset, count))
            return found;
    if (!ends.readAt)
        return std::nullopt;
    const std::size_t wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max(count, readAhead), static_cast<std::uint64_t>(ends.size - offset)));
    read.clear();
    readStart = -1;
    if (!ends.readAt(offset, wanted, read) || read.size() != wanted)
        return std::nullopt;
    readStart = offset;
    return std::string_view(read).substr(0, count);
}

} // namespace library
