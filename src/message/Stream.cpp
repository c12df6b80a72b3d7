#include "message/Stream.h"

#include "platform/FileSend.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/types.h>
#include <unistd.h>

namespace http {

std::uint64_t Stream::sendFile(int file, std::uint64_t offset, std::uint64_t length)
{
    auto buffer = std::make_unique<char[]>(platform::fileBlockSize);
    std::uint64_t sent = 0;
    while (sent < length) {
        ssize_t got = ::pread(file, buffer.get(), std::min(platform::fileBlockSize, length - sent),
                              static_cast<off_t>(offset + sent));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        // Once a block cannot be sent the rest can reach no one.
        if (send(std::string_view(buffer.get(), static_cast<std::size_t>(got))) < 0)
            break;
        sent += static_cast<std::uint64_t>(got);
    }
    return sent;
}

} // namespace http
