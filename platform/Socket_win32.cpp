// TCP sockets on Windows: Winsock 2. A SOCKET fits the int of a descriptor
// (see win32/Handles.h). Windows raises no signal for a closed peer, and has
// no per-call "do not wait": the calls that must not wait make the socket
// non-blocking for their own length, or look first whether data is there.
#include "platform/Socket.h"

#include "platform/win32/Rearm.h"
#include "platform/win32/Winsock.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace platform {

namespace {

int asDescriptor(SOCKET socket)
{
    return static_cast<int>(socket);
}

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
    in_addr copy = address;
    if (!::inet_ntop(AF_INET, &copy, text, sizeof text))
        return {};
    return text;
}

bool setBlocking(int socket, bool blocking)
{
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(win32::socketOf(socket), FIONBIO, &nonBlocking) == 0;
}

UniqueFd newTcpSocket()
{
    if (!win32::startWinsock())
        return {};
    // Not inherited by programs the process starts.
    const SOCKET made = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (made == INVALID_SOCKET) {
        win32::setErrnoFromSocketError();
        return {};
    }
    return UniqueFd(asDescriptor(made));
}

int length(std::size_t size)
{
    return static_cast<int>(std::min<std::size_t>(size, 1u << 30));
}

} // namespace

UniqueFd listenTcp(std::uint32_t address, std::uint16_t port)
{
    UniqueFd socket = newTcpSocket();
    if (!socket)
        return {};
    // Windows lets a listener bind over old connections' TIME_WAIT already;
    // its SO_REUSEADDR would instead let another program take the port.
    BOOL on = TRUE;
    ::setsockopt(win32::socketOf(socket.get()), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in where = makeAddress(address, port);
    if (::bind(win32::socketOf(socket.get()), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(win32::socketOf(socket.get()), SOMAXCONN) != 0 || !setBlocking(socket.get(), false)) {
        win32::setErrnoFromSocketError();
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
    int size = sizeof where;
    if (::getsockname(win32::socketOf(socket), reinterpret_cast<sockaddr*>(&where), &size) != 0 || where.sin_family != AF_INET)
        return 0;
    return ntohs(where.sin_port);
}

UniqueFd acceptSocket(int listening, std::string& peerAddress, bool* exhausted)
{
    peerAddress.clear();
    if (exhausted)
        *exhausted = false;
    sockaddr_in peer{};
    int size = sizeof peer;
    const SOCKET accepted = ::accept(win32::socketOf(listening), reinterpret_cast<sockaddr*>(&peer), &size);
    if (accepted == INVALID_SOCKET) {
        const int error = WSAGetLastError();
        if (exhausted)
            *exhausted = error == WSAEMFILE || error == WSAENOBUFS;
        return {};
    }
    UniqueFd socket(asDescriptor(accepted));
    // An accepted socket takes the listener's non-blocking mode on Windows;
    // the connection threads expect a blocking one.
    if (!setBlocking(socket.get(), true))
        return {};
    ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    if (peer.sin_family == AF_INET)
        peerAddress = dotted(peer.sin_addr);
    return socket;
}

UniqueFd connectTcp(std::uint32_t address, std::uint16_t port)
{
    UniqueFd socket = newTcpSocket();
    if (!socket)
        return {};
    sockaddr_in where = makeAddress(address, port);
    if (::connect(win32::socketOf(socket.get()), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0)
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
    int size = sizeof peer;
    if (::getpeername(win32::socketOf(socket), reinterpret_cast<sockaddr*>(&peer), &size) != 0 || peer.sin_family != AF_INET)
        return "?.?.?.?:???";
    std::string address = dotted(peer.sin_addr);
    if (address.empty())
        return "?.?.?.?:???";
    return address + ":" + std::to_string(ntohs(peer.sin_port));
}

std::uint32_t peerAddress(int socket)
{
    sockaddr_in peer{};
    int size = sizeof peer;
    if (::getpeername(win32::socketOf(socket), reinterpret_cast<sockaddr*>(&peer), &size) != 0 || peer.sin_family != AF_INET)
        return 0;
    return peer.sin_addr.s_addr;
}

bool shutdownSending(int socket)
{
    return ::shutdown(win32::socketOf(socket), SD_SEND) == 0;
}

bool shutdownReceiving(int socket)
{
    return ::shutdown(win32::socketOf(socket), SD_RECEIVE) == 0;
}

bool shutdownBoth(int socket)
{
    return ::shutdown(win32::socketOf(socket), SD_BOTH) == 0;
}

bool setNoDelay(int socket)
{
    BOOL on = TRUE;
    return ::setsockopt(win32::socketOf(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

long receiveSome(int socket, char* buffer, std::size_t size)
{
    const int got = ::recv(win32::socketOf(socket), buffer, length(size), 0);
    win32::rearmAfterReceive(socket);
    return got < 0 ? -1 : got;
}

long receiveAvailable(int socket, char* buffer, std::size_t size)
{
    // Readable (data, the end, or an error) means the receive will not wait.
    WSAPOLLFD entry{win32::socketOf(socket), POLLRDNORM, 0};
    const int ready = ::WSAPoll(&entry, 1, 0);
    if (ready < 0)
        return -1;
    if (ready == 0) {
        win32::rearmAfterReceive(socket);
        return -2;
    }
    return receiveSome(socket, buffer, size);
}

long sendAll(int socket, std::string_view data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int now = ::send(win32::socketOf(socket), data.data() + sent, length(data.size() - sent), 0);
        if (now < 0)
            return -1;
        sent += static_cast<std::size_t>(now);
    }
    win32::rearmAfterSend(socket);
    return static_cast<long>(sent);
}

namespace {

/// Gathered sends of what is left of `first` and `second` until all is out,
/// the socket fails (`failed`) or, unless `wait`, its buffer is full: the
/// total sent.
std::size_t sendGatheredWith(int socket, std::string_view first, std::string_view second, bool wait, bool& failed)
{
    failed = false;
    if (!wait && !setBlocking(socket, false)) {
        failed = true;
        return 0;
    }
    const std::size_t total = first.size() + second.size();
    std::size_t sent = 0;
    while (sent < total) {
        WSABUF parts[2];
        DWORD count = 0;
        if (sent < first.size())
            parts[count++] = {static_cast<ULONG>(first.size() - sent), const_cast<char*>(first.data() + sent)};
        const std::size_t secondDone = sent > first.size() ? sent - first.size() : 0;
        if (secondDone < second.size())
            parts[count++] = {static_cast<ULONG>(second.size() - secondDone),
                              const_cast<char*>(second.data() + secondDone)};
        DWORD now = 0;
        if (::WSASend(win32::socketOf(socket), parts, count, &now, 0, nullptr, nullptr) != 0) {
            failed = wait || WSAGetLastError() != WSAEWOULDBLOCK;
            break;
        }
        sent += now;
    }
    if (!wait && !setBlocking(socket, true))
        failed = true;
    win32::rearmAfterSend(socket);
    return sent;
}

} // namespace

long sendWithoutWaiting(int socket, std::string_view data)
{
    bool failed = false;
    const std::size_t sent = sendGatheredWith(socket, data, std::string_view(), false, failed);
    // A full buffer before anything went out counts as a failure here.
    return failed || (sent == 0 && !data.empty()) ? -1 : static_cast<long>(sent);
}

std::size_t sendGathered(int socket, std::string_view first, std::string_view second)
{
    bool failed = false;
    return sendGatheredWith(socket, first, second, true, failed);
}

long sendGatheredAvailable(int socket, std::string_view first, std::string_view second)
{
    bool failed = false;
    const std::size_t sent = sendGatheredWith(socket, first, second, false, failed);
    return failed ? -1 : static_cast<long>(sent);
}

int waitReadable(std::span<const int> descriptors, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    std::vector<WSAPOLLFD> entries;
    entries.reserve(descriptors.size());
    for (int descriptor : descriptors)
        entries.push_back({win32::socketOf(descriptor), POLLRDNORM, 0});
    const bool limited = timeout.count() >= 0;
    const auto deadline = Clock::now() + (limited ? timeout : std::chrono::milliseconds(0));
    for (;;) {
        int wait = -1;
        if (limited) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
        }
        const int ready = ::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), wait);
        if (ready < 0)
            return -2;
        if (ready == 0) {
            if (!limited || Clock::now() < deadline)
                continue;  // the wait may end a little early
            return -1;
        }
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].revents & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL))
                return static_cast<int>(i);
    }
}

} // namespace platform
