// New GUIDs on Windows: the system's generator (ole32). The bytes are kept
// in the order the GUID's text shows them, as on every system.
#include "platform/Guid.h"

#include <objbase.h>
#include <windows.h>

namespace platform {

std::optional<Guid> newGuid()
{
    GUID made{};
    if (FAILED(CoCreateGuid(&made)))
        return std::nullopt;
    Guid guid{};
    for (std::size_t i = 0; i < 4; ++i)
        guid[i] = static_cast<std::uint8_t>(made.Data1 >> (24 - 8 * i));
    guid[4] = static_cast<std::uint8_t>(made.Data2 >> 8);
    guid[5] = static_cast<std::uint8_t>(made.Data2);
    guid[6] = static_cast<std::uint8_t>(made.Data3 >> 8);
    guid[7] = static_cast<std::uint8_t>(made.Data3);
    for (std::size_t i = 0; i < 8; ++i)
        guid[8 + i] = made.Data4[i];
    return guid;
}

} // namespace platform
