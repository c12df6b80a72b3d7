#include "platform/win32/Handles.h"

#include "platform/win32/Utf16.h"

#include <cerrno>

namespace platform::win32 {

void setErrnoFrom(unsigned long code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_DIRECTORY:
        errno = ENOTDIR;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_INVALID_HANDLE:
        errno = EBADF;
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        errno = ENOMEM;
        break;
    default:
        errno = EIO;
        break;
    }
}

std::string pathOfHandle(HANDLE handle)
{
    const DWORD size = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    if (size == 0)
        return std::string();
    std::wstring path(size, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), size, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= size)
        return std::string();
    path.resize(length);
    std::wstring_view shown = path;
    if (shown.starts_with(L"\\\\?\\UNC\\"))
        return "\\\\" + toUtf8(shown.substr(8));
    if (shown.starts_with(L"\\\\?\\"))
        shown.remove_prefix(4);
    return toUtf8(shown);
}

} // namespace platform::win32
