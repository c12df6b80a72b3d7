#pragma once

#include <winsock2.h>

// Internal to the Windows platform layer: Winsock, started once for the
// process on first use and left running until the process ends (a module
// may be unloaded while its host still uses sockets).
namespace platform::win32 {

/// True once Winsock 2.2 is started; every function that makes a socket
/// calls it first. Any thread.
bool startWinsock();

/// The SOCKET a descriptor holds (see Handles.h).
inline SOCKET socketOf(int descriptor)
{
    return static_cast<SOCKET>(static_cast<unsigned>(descriptor));
}

/// Sets `errno` to the POSIX error nearest to Winsock's last error.
void setErrnoFromSocketError();

} // namespace platform::win32
