#include "platform/Guid.h"

#include "platform/RandomSource.h"

namespace platform {

std::optional<Guid> newGuid()
{
    Guid guid{};
    if (!fillRandom(guid))
        return std::nullopt;
    return guid;
}

} // namespace platform
