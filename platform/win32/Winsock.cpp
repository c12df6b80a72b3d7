#include "platform/win32/Winsock.h"

#include <cerrno>

namespace platform::win32 {

bool startWinsock()
{
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

void setErrnoFromSocketError()
{
    switch (WSAGetLastError()) {
    case WSAEADDRINUSE:
        errno = EADDRINUSE;
        break;
    case WSAEADDRNOTAVAIL:
        errno = EADDRNOTAVAIL;
        break;
    case WSAEACCES:
        errno = EACCES;
        break;
    case WSAEMFILE:
        errno = EMFILE;
        break;
    case WSAENOBUFS:
        errno = ENOBUFS;
        break;
    case WSAEWOULDBLOCK:
        errno = EWOULDBLOCK;
        break;
    case WSAECONNREFUSED:
        errno = ECONNREFUSED;
        break;
    case WSAECONNRESET:
        errno = ECONNRESET;
        break;
    case WSAETIMEDOUT:
        errno = ETIMEDOUT;
        break;
    case WSAEINTR:
        errno = EINTR;
        break;
    default:
        errno = EIO;
        break;
    }
}

} // namespace platform::win32
