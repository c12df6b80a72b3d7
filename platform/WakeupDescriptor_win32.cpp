// The wake-up descriptor on Windows: a non-blocking UDP socket on the
// loopback address, connected to itself, so that it can be waited on next to
// other sockets. Signalled while a datagram of its own waits in it.
#include "platform/WakeupDescriptor.h"

#include "platform/win32/Winsock.h"

namespace platform {

namespace {

/// The socket, bound and connected to itself; invalid on failure.
UniqueFd selfConnectedSocket()
{
    if (!win32::startWinsock())
        return {};
    const SOCKET made = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (made == INVALID_SOCKET)
        return {};
    UniqueFd socket(static_cast<int>(made));
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof where;
    u_long nonBlocking = 1;
    if (::bind(made, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::getsockname(made, reinterpret_cast<sockaddr*>(&where), &size) != 0 ||
        ::connect(made, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::ioctlsocket(made, FIONBIO, &nonBlocking) != 0)
        return {};
    return socket;
}

} // namespace

WakeupDescriptor::WakeupDescriptor() : fd(selfConnectedSocket()) {}

void WakeupDescriptor::signal()
{
    // A full buffer still leaves the socket readable.
    const char one = 1;
    ::send(win32::socketOf(fd.get()), &one, 1, 0);
}

void WakeupDescriptor::reset()
{
    char drained[16];
    while (::recv(win32::socketOf(fd.get()), drained, sizeof drained, 0) > 0) {
    }
}

bool WakeupDescriptor::isSignalled() const
{
    WSAPOLLFD entry{win32::socketOf(fd.get()), POLLRDNORM, 0};
    return ::WSAPoll(&entry, 1, 0) == 1 && (entry.revents & POLLRDNORM);
}

} // namespace platform
