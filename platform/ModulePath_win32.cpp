// Module paths on Windows: the loader's own record of each module's file.
#include "platform/ModulePath.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace platform {

namespace {

std::string fileOf(HMODULE module)
{
    // Long paths need more than MAX_PATH: grow until the name fits.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::wstring name(size, L'\0');
        const DWORD length = GetModuleFileNameW(module, name.data(), size);
        if (length == 0)
            return std::string();
        if (length < size) {
            name.resize(length);
            return win32::toUtf8(name);
        }
    }
    return std::string();
}

} // namespace

std::string modulePath(const void* address)
{
    // A null name means the program itself to the call below; no module
    // holds the null address.
    if (!address)
        return std::string();
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return std::string();
    return fileOf(module);
}

std::string executablePath()
{
    return fileOf(nullptr);
}

} // namespace platform
