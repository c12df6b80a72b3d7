#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <vector>

namespace platform {

namespace {

sockaddr_in makeAddress(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = address;
    result.sin_port = htons(port);
    return result;
}

std::string dotted(const in_addr& address)
{
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof text))
        return {};
    return text;
}

} // namespace

UniqueFd listenTcp(std::uint32_t address, std::uint16_t port)
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket)
        return {};
    int on = 1;
    // A restart on the same port must not wait for old connections' TIME_WAIT.
    ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where = makeAddress(address, port);
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(socket.get(), SOMAXCONN) != 0) {
        // The caller reports why: closing the socket must not change errno.
        const int error = errno;
        socket.reset();
        errno = error;
        return {};
    }
    return socket;
}

std::uint16_t boundPort(int socket)
{
    sockaddr_in where{};
    socklen_t length = sizeof where;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&where), &length) != 0 || where.sin_family != AF_INET)
        return 0;
    return ntohs(where.sin_port);
}

UniqueFd acceptSocket(int listening, std::string& peerAddress, bool* exhausted)
{
    peerAddress.clear();
    if (exhausted)
        *exhausted = false;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int accepted;
    do
        // accept4 does not pass the listener's non-blocking mode on: the new
        // socket is blocking, as the connection threads expect.
        accepted = ::accept4(listening, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    while (accepted < 0 && errno == EINTR);
    if (accepted < 0) {
        if (exhausted)
            *exhausted = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        return {};
    }
    if (peer.sin_family == AF_INET)
        peerAddress = dotted(peer.sin_addr);
    return UniqueFd(accepted);
}

UniqueFd connectTcp(std::uint32_t address, std::uint16_t port)
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket)
        return {};
    sockaddr_in where = makeAddress(address, port);
    int result;
    do
        result = ::connect(socket.get(), reinterpret_cast<sockaddr*>(&where), sizeof where);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return {};
    return socket;
}

std::uint32_t loopbackAddress()
{
    return htonl(INADDR_LOOPBACK);
}

std::string peerAddressText(int socket)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0 || peer.sin_family != AF_INET)
        return "?.?.?.?:???";
    std::string address = dotted(peer.sin_addr);
    if (address.empty())
        return "?.?.?.?:???";
    return address + ":" + std::to_string(ntohs(peer.sin_port));
}

std::uint32_t peerAddress(int socket)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0 || peer.sin_family != AF_INET)
        return 0;
    return peer.sin_addr.s_addr;
}

bool shutdownSending(int socket)
{
    return ::shutdown(socket, SHUT_WR) == 0;
}

bool shutdownReceiving(int socket)
{
    return ::shutdown(socket, SHUT_RD) == 0;
}

bool shutdownBoth(int socket)
{
    return ::shutdown(socket, SHUT_RDWR) == 0;
}

bool setNoDelay(int socket)
{
    int on = 1;
    return ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

long receiveSome(int socket, char* buffer, std::size_t size)
{
    ssize_t got;
    do
        got = ::recv(socket, buffer, size, 0);
    while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<long>(got);
}

long receiveAvailable(int socket, char* buffer, std::size_t size)
{
    ssize_t got;
    do
        got = ::recv(socket, buffer, size, MSG_DONTWAIT);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? -2 : -1;
    return static_cast<long>(got);
}

long sendAll(int socket, std::string_view data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t now = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (now < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        sent += static_cast<std::size_t>(now);
    }
    return static_cast<long>(sent);
}

long sendWithoutWaiting(int socket, std::string_view data)
{
    ssize_t now;
    do
        now = ::send(socket, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    while (now < 0 && errno == EINTR);
    return now < 0 ? -1 : static_cast<long>(now);
}

namespace {

/// Gathered sends of what is left of `first` and `second` until all is out,
/// the socket fails (`failed`) or, with MSG_DONTWAIT in `flags`, its buffer is
/// full: the total sent.
std::size_t sendGatheredWith(int socket, std::string_view first, std::string_view second, int flags,
                             bool& failed)
{
    failed = false;
    const std::size_t total = first.size() + second.size();
    std::size_t sent = 0;
    while (sent < total) {
        iovec parts[2];
        int count = 0;
        if (sent < first.size())
            parts[count++] = {const_cast<char*>(first.data() + sent), first.size() - sent};
        std::size_t secondDone = sent > first.size() ? sent - first.size() : 0;
        if (secondDone < second.size())
            parts[count++] = {const_cast<char*>(second.data() + secondDone), second.size() - secondDone};
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = count;
        ssize_t now = ::sendmsg(socket, &message, MSG_NOSIGNAL | flags);
        if (now < 0) {
            if (errno == EINTR)
                continue;
            failed = !((flags & MSG_DONTWAIT) && (errno == EAGAIN || errno == EWOULDBLOCK));
            break;
        }
        sent += static_cast<std::size_t>(now);
    }
    return sent;
}

} // namespace

std::size_t sendGathered(int socket, std::string_view first, std::string_view second)
{
    bool failed = false;
    return sendGatheredWith(socket, first, second, 0, failed);
}

long sendGatheredAvailable(int socket, std::string_view first, std::string_view second)
{
    bool failed = false;
    const std::size_t sent = sendGatheredWith(socket, first, second, MSG_DONTWAIT, failed);
    return failed ? -1 : static_cast<long>(sent);
}

int waitReadable(std::span<const int> descriptors, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    std::vector<pollfd> entries;
    entries.reserve(descriptors.size());
    for (int descriptor : descriptors)
        entries.push_back({descriptor, POLLIN, 0});
    const bool limited = timeout.count() >= 0;
    const auto deadline = Clock::now() + (limited ? timeout : std::chrono::milliseconds(0));
    for (;;) {
        int wait = -1;
        if (limited) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
        }
        int ready = ::poll(entries.data(), entries.size(), wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return -2;
        }
        if (ready == 0) {
            if (!limited || Clock::now() < deadline)
                continue;  // poll may wake a little early
            return -1;
        }
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))
                return static_cast<int>(i);
    }
}

} // namespace platform
