#include "message/Stream.h"

#include "platform/FileSend.h"

#include <string_view>

namespace http {

std::uint64_t Stream::sendFile(int file, std::uint64_t offset, std::uint64_t length)
{
    return platform::copyFileBlocks(file, offset, length,
                                    [this](std::string_view block) { return send(block) >= 0; });
}

} // namespace http
