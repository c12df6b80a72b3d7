#include "platform/Connect.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace platform {

std::optional<std::uint32_t> resolveIpv4(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<std::uint32_t> address;
    for (addrinfo* entry = found; entry && !address; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in))
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
    }
    ::freeaddrinfo(found);
    return address;
}

bool isOwnAddress(std::uint32_t address)
{
    const std::uint32_t host = ntohl(address);
    if (host == INADDR_ANY || (host >> 24) == 127)
        return true;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return true;  // unknown: treated as ours, so nothing is asked of it
    bool own = false;
    for (const ifaddrs* entry = list; entry && !own; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
            own = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == address;
    }
    ::freeifaddrs(list);
    return own;
}

UniqueFd connectTcpWithin(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds timeout)
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
    if (!socket)
        return {};
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = address;
    where.sin_port = htons(port);
    if (::connect(socket.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            return {};
        // The connection completes (or fails) in the background; wait for it
        // to become writable, at most `timeout`.
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return {};
            pollfd entry{socket.get(), POLLOUT, 0};
            int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return {};
            break;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return {};
    }
    // The client reads and writes with blocking calls under its own bounds.
    int flags = ::fcntl(socket.get(), F_GETFL);
    if (flags < 0 || ::fcntl(socket.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return {};
    return socket;
}

bool setSendTimeout(int socket, std::chrono::milliseconds timeout)
{
    timeval value{};
    value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    value.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
    return ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value) == 0;
}

} // namespace platform
