#include "platform/ModulePath.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <unistd.h>

namespace platform {

namespace {

std::string absolute(const char* path)
{
    if (!path || !*path)
        return {};
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path, nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

} // namespace

std::string modulePath(const void* address)
{
    Dl_info info{};
    if (!::dladdr(address, &info))
        return {};
    // dli_fname is the name the module was loaded by, which may be relative.
    return absolute(info.dli_fname);
}

std::string executablePath()
{
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

} // namespace platform
