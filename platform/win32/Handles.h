#pragma once

#include <windows.h>

#include <string>

// Internal to the Windows platform layer: descriptors are the system's
// handles. A file HANDLE and a SOCKET are both kernel handles of 32 bits on
// this (32-bit) system, so each fits the int of UniqueFd, and -1 is both
// INVALID_HANDLE_VALUE and INVALID_SOCKET.
namespace platform::win32 {

inline HANDLE handleOf(int descriptor)
{
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(descriptor));
}

inline int descriptorOf(HANDLE handle)
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

/// Sets `errno` to the POSIX error nearest to the system's `code` (as
/// GetLastError gives it), for callers that look at errno.
void setErrnoFrom(unsigned long code);

/// The path of what `handle` has open, without the "\\?\" prefix; empty on
/// failure.
std::string pathOfHandle(HANDLE handle);

} // namespace platform::win32
