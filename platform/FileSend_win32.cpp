// Sending file ranges on Windows: blocks read at their offset and sent with
// the socket calls (Windows raises no signal for a closed peer).
#include "platform/FileSend.h"

#include "platform/Files.h"
#include "platform/Socket.h"

#include <algorithm>
#include <memory>

namespace platform {

std::uint64_t copyFileBlocks(int file, std::uint64_t offset, std::uint64_t length,
                             const std::function<bool(std::string_view)>& send)
{
    auto buffer = std::make_unique<char[]>(fileBlockSize);
    std::uint64_t sent = 0;
    while (sent < length) {
        const long got = readAt(file, buffer.get(), static_cast<std::size_t>(std::min(fileBlockSize, length - sent)),
                                offset + sent);
        if (got <= 0)
            break;
        // Once a block cannot be sent the rest can reach no one.
        if (!send(std::string_view(buffer.get(), static_cast<std::size_t>(got))))
            break;
        sent += static_cast<std::uint64_t>(got);
    }
    return sent;
}

std::uint64_t sendFileBlocks(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed)
{
    sendFailed = false;
    return copyFileBlocks(file, offset, length, [&](std::string_view block) {
        sendFailed = sendAll(socket, block) < 0;
        return !sendFailed;
    });
}

std::uint64_t sendFileRange(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed)
{
    return sendFileBlocks(socket, file, offset, length, sendFailed);
}

std::uint64_t sendFileAvailable(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed,
                                bool& blocked)
{
    sendFailed = false;
    blocked = false;
    auto buffer = std::make_unique<char[]>(fileBlockSize);
    std::uint64_t sent = 0;
    while (sent < length) {
        const long got = readAt(file, buffer.get(), static_cast<std::size_t>(std::min(fileBlockSize, length - sent)),
                                offset + sent);
        if (got <= 0)
            break;
        const long now = sendGatheredAvailable(socket, std::string_view(buffer.get(), static_cast<std::size_t>(got)),
                                               std::string_view());
        if (now < 0) {
            sendFailed = true;
            break;
        }
        // The part that went out counts; the rest waits for room.
        sent += static_cast<std::uint64_t>(now);
        if (now < got) {
            blocked = true;
            break;
        }
    }
    return sent;
}

} // namespace platform
