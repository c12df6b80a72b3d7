#include "platform/SharedLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace platform {

bool SharedLibrary::open(const std::string& path)
{
    close();
    library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = ::dlerror();
        lastError = reason ? reason : "cannot load " + path;
        return false;
    }
    lastError.clear();
    return true;
}

void SharedLibrary::close()
{
    if (library)
        ::dlclose(std::exchange(library, nullptr));
}

void* SharedLibrary::symbol(const char* name)
{
    if (!library)
        return nullptr;
    ::dlerror();
    void* address = ::dlsym(library, name);
    if (!address) {
        const char* reason = ::dlerror();
        lastError = reason ? reason : std::string("no symbol ") + name;
    }
    return address;
}

} // namespace platform
