#include "library/IndexFormat.h"

#include "platform/Files.h"

namespace library {

namespace {

std::string markPath(const std::string& folder)
{
    return folder + "/format";
}

} // namespace

bool markIndexFormat(const std::string& folder)
{
    platform::UniqueFd file = platform::openFile(markPath(folder), platform::openWrite | platform::openCreate |
                                                                       platform::openTruncate);
    return file && platform::writeSome(file.get(), indexFormat.data(), indexFormat.size()) ==
                       static_cast<long>(indexFormat.size());
}

bool hasIndexFormat(const std::string& folder)
{
    platform::UniqueFd file = platform::openFile(markPath(folder), platform::openRead);
    char text[64];
    const long count = file ? platform::readSome(file.get(), text, sizeof text) : -1;
    return count >= 0 && std::string_view(text, static_cast<std::size_t>(count)) == indexFormat;
}

} // namespace library
