// Loaded modules on Windows: LoadLibrary, GetProcAddress, FreeLibrary.
#include "platform/SharedLibrary.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <utility>

namespace platform {

bool SharedLibrary::open(const std::string& path)
{
    close();
    // The module's own folder is searched for the modules it needs.
    library = LoadLibraryExW(win32::toUtf16(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        lastError = "cannot load " + path + ": " + win32::errorText(GetLastError());
        return false;
    }
    lastError.clear();
    return true;
}

void SharedLibrary::close()
{
    if (library)
        FreeLibrary(static_cast<HMODULE>(std::exchange(library, nullptr)));
}

void* SharedLibrary::symbol(const char* name)
{
    if (!library)
        return nullptr;
    const FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!address) {
        lastError = std::string("no symbol ") + name + ": " + win32::errorText(GetLastError());
        return nullptr;
    }
    return reinterpret_cast<void*>(address);
}

} // namespace platform
