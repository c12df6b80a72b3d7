// Directory listings on Windows: FindFirstFile and FindNextFile, each entry's
// status read through the directory's own (final) path. The listing gives
// "." and ".." too, as on POSIX.
#include "platform/DirectoryReader.h"

#include "platform/win32/Handles.h"
#include "platform/win32/Utf16.h"

#include <memory>
#include <utility>

namespace platform {

namespace {

/// What an open directory holds: its handle (kept open, so that a rename of
/// the directory does not change which directory is listed), its listing and
/// the entry found first.
struct OpenDirectory {
    UniqueFd directory;
    std::string path;  // the final path of `directory`
    HANDLE search = INVALID_HANDLE_VALUE;
    bool firstPending = true;
    WIN32_FIND_DATAW found{};

    ~OpenDirectory()
    {
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
};

OpenDirectory* stateOf(void* handle)
{
    return static_cast<OpenDirectory*>(handle);
}

} // namespace

DirectoryReader::DirectoryReader(DirectoryReader&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}

DirectoryReader& DirectoryReader::operator=(DirectoryReader&& other) noexcept
{
    if (this != &other) {
        close();
        handle = std::exchange(other.handle, nullptr);
    }
    return *this;
}

DirectoryReader::~DirectoryReader()
{
    close();
}

bool DirectoryReader::open(const std::string& path, FileStatus& status)
{
    close();
    auto state = std::make_unique<OpenDirectory>();
    state->directory = openFile(path, openRead | openDirectory);
    if (!state->directory || !statusOf(state->directory.get(), status))
        return false;
    state->path = win32::pathOfHandle(win32::handleOf(state->directory.get()));
    if (state->path.empty())
        return false;
    const std::wstring pattern = win32::toUtf16(state->path + "\\*");
    state->search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &state->found, FindExSearchNameMatch, nullptr, 0);
    if (state->search == INVALID_HANDLE_VALUE) {
        win32::setErrnoFrom(GetLastError());
        return false;
    }
    // Owned by this reader from here on; `close` takes it back.
    handle = state.release();
    return true;
}

bool DirectoryReader::next(std::string& name, FileStatus& status)
{
    OpenDirectory* state = stateOf(handle);
    if (state == nullptr)
        return false;
    for (;;) {
        if (!state->firstPending && !FindNextFileW(state->search, &state->found))
            return false;
        state->firstPending = false;
        const std::string entry = win32::toUtf8(state->found.cFileName);
        if (statusOfPath(state->path + "\\" + entry, status)) {
            name = entry;
            return true;
        }
    }
}

UniqueFd DirectoryReader::openEntry(const std::string& name, unsigned flags) const
{
    const OpenDirectory* state = stateOf(handle);
    if (state == nullptr)
        return UniqueFd();
    return openFile(state->path + "\\" + name, flags);
}

void DirectoryReader::close()
{
    std::unique_ptr<OpenDirectory> owned(stateOf(std::exchange(handle, nullptr)));
}

} // namespace platform
