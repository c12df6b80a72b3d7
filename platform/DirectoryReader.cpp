#include "platform/DirectoryReader.h"

#include <dirent.h>
#include <utility>

namespace platform {

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
    DIR* stream = ::opendir(path.c_str());
    if (stream == nullptr)
        return false;
    if (!statusOf(::dirfd(stream), status)) {
        ::closedir(stream);
        return false;
    }
    handle = stream;
    return true;
}

bool DirectoryReader::next(std::string& name, FileStatus& status)
{
    DIR* stream = static_cast<DIR*>(handle);
    if (stream == nullptr)
        return false;
    while (const struct dirent* entry = ::readdir(stream)) {
        if (!statusAt(::dirfd(stream), entry->d_name, status, true))
            continue;
        name.assign(entry->d_name);
        return true;
    }
    return false;
}

UniqueFd DirectoryReader::openEntry(const std::string& name, unsigned flags) const
{
    DIR* stream = static_cast<DIR*>(handle);
    if (stream == nullptr)
        return UniqueFd();
    return openFileAt(::dirfd(stream), name, flags);
}

void DirectoryReader::close()
{
    if (handle != nullptr)
        ::closedir(static_cast<DIR*>(std::exchange(handle, nullptr)));
}

} // namespace platform
