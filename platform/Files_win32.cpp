// Files on Windows: descriptors are file HANDLEs (win32/Handles.h), opened
// with every kind of sharing so that, as on POSIX, a file may be renamed or
// removed while open. Failures set errno to the nearest POSIX error.
#include "platform/Files.h"

#include "platform/win32/Handles.h"
#include "platform/win32/Utf16.h"

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

using win32::handleOf;

/// 100-nanosecond ticks from 1601 to 1970.
constexpr std::int64_t unixEpochTicks = 116444736000000000LL;

FileClock clockOf(std::int64_t ticks)
{
    const std::int64_t since = ticks - unixEpochTicks;
    std::int64_t seconds = since / 10'000'000;
    std::int64_t rest = since % 10'000'000;
    if (rest < 0) {
        rest += 10'000'000;
        --seconds;
    }
    return {seconds, rest * 100};
}

std::int64_t ticksOf(const FILETIME& time)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

UniqueFd failed()
{
    win32::setErrnoFrom(GetLastError());
    return UniqueFd();
}

bool failedFalse()
{
    win32::setErrnoFrom(GetLastError());
    return false;
}

HANDLE openHandle(const std::string& path, DWORD access, DWORD disposition, DWORD flags)
{
    return CreateFileW(win32::toUtf16(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, flags, nullptr);
}

/// The status of an open handle; `asLink`: a symbolic link opened as itself.
bool statusOfHandle(HANDLE handle, FileStatus& status, bool asLink)
{
    // A file's facts come without the volume's serial number: that is a
    // question to the mount manager (GetFileInformationByHandle, FILE_ID_INFO
    // alike), and under Wine a stream of them (the indexer asked for every
    // file) at length went unanswered for good, leaving the indexer, and
    // every request waiting on what it held, stuck. Only a directory's
    // identity is asked for (what walks and the document root compare); a
    // file's is left 0.
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
        return failedFalse();
    const DWORD attributes = basic.FileAttributes;
    status.device = 0;
    status.identity = 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle, &info))
            return failedFalse();
        status.device = info.dwVolumeSerialNumber;
        status.identity = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    // A device under a file's name (CON, NUL, COM1 in any folder) is no file.
    const bool onDisk = (attributes & FILE_ATTRIBUTE_DIRECTORY) || GetFileType(handle) == FILE_TYPE_DISK;
    if (asLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        status.kind = FileStatus::Kind::link;
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        status.kind = FileStatus::Kind::directory;
    else if (onDisk)
        status.kind = FileStatus::Kind::regular;
    else
        status.kind = FileStatus::Kind::other;
    status.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    status.accessed = clockOf(basic.LastAccessTime.QuadPart);
    status.modified = clockOf(basic.LastWriteTime.QuadPart);
    status.changed = clockOf(basic.ChangeTime.QuadPart);
    status.links = standard.NumberOfLinks;
    // Windows knows only "read-only": everyone may read, and write unless
    // read-only; directories may be entered.
    status.permissions = 0444;
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        status.permissions |= 0222;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        status.permissions |= 0111;
    return true;
}

bool statusOfPathAs(const std::string& path, FileStatus& status, bool asLink)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (asLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const UniqueFd opened(win32::descriptorOf(openHandle(path, 0, OPEN_EXISTING, flags)));
    if (!opened)
        return failedFalse();
    return statusOfHandle(handleOf(opened.get()), status, asLink);
}

} // namespace

UniqueFd openFile(const std::string& path, unsigned flags, unsigned permissions)
{
    DWORD access = GENERIC_READ;
    if (flags & openReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;
    else if (flags & openWrite)
        access = GENERIC_WRITE;
    if (flags & openPathOnly)
        access = FILE_READ_ATTRIBUTES;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & openCreate) && (flags & openTruncate))
        disposition = OPEN_ALWAYS;  // truncated below: CREATE_ALWAYS would reset the attributes
    else if (flags & openCreate)
        disposition = OPEN_ALWAYS;
    else if (flags & openTruncate)
        disposition = TRUNCATE_EXISTING;
    // Directories open only with backup semantics; a plain file too.
    DWORD attributes = FILE_FLAG_BACKUP_SEMANTICS;
    if (flags & openNoFollow)
        attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
    if ((flags & openCreate) && !(permissions & 0222))
        attributes |= FILE_ATTRIBUTE_READONLY;
    UniqueFd file(win32::descriptorOf(openHandle(path, access, disposition, attributes)));
    if (!file)
        return failed();
    FileStatus status;
    if (!statusOfHandle(handleOf(file.get()), status, (flags & openNoFollow) != 0))
        return UniqueFd();
    if ((flags & openNoFollow) && status.kind == FileStatus::Kind::link) {
        errno = ELOOP;
        return UniqueFd();
    }
    if ((flags & openDirectory) && !status.isDirectory()) {
        errno = ENOTDIR;
        return UniqueFd();
    }
    if (!(flags & openDirectory) && status.isDirectory() && (access & GENERIC_WRITE)) {
        errno = EISDIR;
        return UniqueFd();
    }
    if ((flags & openTruncate) && status.isRegular() && !SetEndOfFile(handleOf(file.get())))
        return failed();
    return file;
}

UniqueFd openFileAt(int directory, const std::string& name, unsigned flags, unsigned permissions)
{
    const std::string folder = win32::pathOfHandle(handleOf(directory));
    if (folder.empty()) {
        failedFalse();
        return UniqueFd();
    }
    return openFile(folder + "\\" + name, flags, permissions);
}

UniqueFd openBeneath(int, const std::string&, unsigned)
{
    errno = ENOSYS;
    return UniqueFd();
}

bool statusOf(int file, FileStatus& status)
{
    return statusOfHandle(handleOf(file), status, false);
}

bool statusOfPath(const std::string& path, FileStatus& status)
{
    return statusOfPathAs(path, status, false);
}

bool linkStatusOfPath(const std::string& path, FileStatus& status)
{
    return statusOfPathAs(path, status, true);
}

bool statusAt(int directory, const std::string& name, FileStatus& status, bool followLinks)
{
    const std::string folder = win32::pathOfHandle(handleOf(directory));
    if (folder.empty())
        return failedFalse();
    return statusOfPathAs(folder + "\\" + name, status, !followLinks);
}

long readSome(int file, void* buffer, std::size_t size)
{
    DWORD done = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handleOf(file), buffer, wanted, &done, nullptr)) {
        if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        win32::setErrnoFrom(GetLastError());
        return -1;
    }
    return static_cast<long>(done);
}

long writeSome(int file, const void* buffer, std::size_t size)
{
    DWORD done = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(handleOf(file), buffer, wanted, &done, nullptr)) {
        win32::setErrnoFrom(GetLastError());
        return -1;
    }
    return static_cast<long>(done);
}

long readAt(int file, void* buffer, std::size_t size, std::uint64_t offset)
{
    // A positioned read on a synchronous handle moves the handle's offset;
    // it is put back, as the contract wants. Two threads that share one
    // handle must not mix this with `readSome`.
    const HANDLE handle = handleOf(file);
    LARGE_INTEGER was{};
    if (!SetFilePointerEx(handle, LARGE_INTEGER{}, &was, FILE_CURRENT)) {
        win32::setErrnoFrom(GetLastError());
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    const bool read = ReadFile(handle, buffer, wanted, &done, &at);
    const DWORD error = GetLastError();
    SetFilePointerEx(handle, was, nullptr, FILE_BEGIN);
    if (!read) {
        if (error == ERROR_HANDLE_EOF)
            return 0;
        win32::setErrnoFrom(error);
        return -1;
    }
    return static_cast<long>(done);
}

bool seekTo(int file, std::uint64_t offset)
{
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handleOf(file), to, nullptr, FILE_BEGIN) || failedFalse();
}

bool syncFile(int file)
{
    // A directory's entries need no flush of their own: renames are written
    // through (see renamePath).
    FileStatus status;
    if (statusOf(file, status) && status.isDirectory())
        return true;
    if (FlushFileBuffers(handleOf(file)))
        return true;
    // Only a handle that may write flushes: one opened for reading flushes
    // the file through a second handle, opened for writing.
    if (GetLastError() != ERROR_ACCESS_DENIED)
        return failedFalse();
    HANDLE writable =
        ReOpenFile(handleOf(file), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (writable == INVALID_HANDLE_VALUE)
        return failedFalse();
    const UniqueFd owned(win32::descriptorOf(writable));
    return FlushFileBuffers(writable) || failedFalse();
}

bool tryLockExclusive(int file)
{
    // The whole file, as far as any file reaches.
    OVERLAPPED from{};
    return LockFileEx(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                      &from) ||
           failedFalse();
}

bool setPermissions(int file, unsigned permissions)
{
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handleOf(file), FileBasicInfo, &basic, sizeof basic))
        return failedFalse();
    if (permissions & 0222)
        basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    else
        basic.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handleOf(file), FileBasicInfo, &basic, sizeof basic) || failedFalse();
}

bool closeFile(UniqueFd& file)
{
    return !file || CloseHandle(handleOf(file.release())) || failedFalse();
}

UniqueFd duplicateFile(int file)
{
    HANDLE copy = nullptr;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, handleOf(file), process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return failed();
    return UniqueFd(win32::descriptorOf(copy));
}

std::string resolvedPath(const std::string& path)
{
    const UniqueFd opened(win32::descriptorOf(openHandle(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS)));
    if (!opened)
        return std::string();
    return win32::pathOfHandle(handleOf(opened.get()));
}

bool renamePath(const std::string& from, const std::string& to)
{
    return MoveFileExW(win32::toUtf16(from).c_str(), win32::toUtf16(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           failedFalse();
}

bool removeFile(const std::string& path)
{
    return DeleteFileW(win32::toUtf16(path).c_str()) || failedFalse();
}

bool coarseWallClock(FileClock& now)
{
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    now = clockOf(ticksOf(time));
    return true;
}

} // namespace platform
