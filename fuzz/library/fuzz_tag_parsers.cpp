// Feeds arbitrary bytes, as a media file, to our own tag parsers (the first
// byte picks the parser, the second how much of the file's ends they are
// given, the rest being read as they ask) and checks that whatever they
// answer does not hang on how the file was cut into ends: given it whole,
// they answer the same.
#include "library/Mp4Tags.h"
#include "library/MpegTags.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

library::FileEnds endsOf(const std::string& file, std::size_t cached)
{
    const std::size_t head = std::min(file.size(), cached);
    const std::size_t tailStart = file.size() - std::min(file.size() - head, cached);
    library::FileEnds ends;
    ends.head = std::string_view(file).substr(0, head);
    ends.tail = std::string_view(file).substr(tailStart);
    ends.tailStart = static_cast<std::int64_t>(tailStart);
    ends.size = static_cast<std::int64_t>(file.size());
    ends.readAt = [&file](std::int64_t offset, std::size_t count, std::string& into) {
        if (offset < 0 || static_cast<std::size_t>(offset) > file.size() ||
            count > file.size() - static_cast<std::size_t>(offset))
            return false;
        into.assign(file, static_cast<std::size_t>(offset), count);
        return true;
    };
    return ends;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto parse = data[0] & 1 ? library::parseMp4Tags : library::parseMpegTags;
    const std::size_t cached = 16 * (static_cast<std::size_t>(data[1]) + 1);
    const std::string file(reinterpret_cast<const char*>(data) + 2, size - 2);
    const auto cut = parse(endsOf(file, cached));
    const auto whole = parse(endsOf(file, file.size()));
    if (cut != whole)
        std::abort();
    return 0;
}
