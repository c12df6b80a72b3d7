// Closing a descriptor on Windows: it is a socket or another kernel handle
// (see win32/Handles.h); a socket must be closed as one.
#include "platform/UniqueFd.h"

#include "platform/win32/Handles.h"

#include <winsock2.h>

namespace platform {

void UniqueFd::reset(int fd)
{
    const int old = std::exchange(descriptor, fd);
    if (old < 0)
        return;
    const SOCKET socket = static_cast<SOCKET>(static_cast<unsigned>(old));
    if (closesocket(socket) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error == WSAENOTSOCK || error == WSANOTINITIALISED)
            CloseHandle(win32::handleOf(old));
    }
}

} // namespace platform
