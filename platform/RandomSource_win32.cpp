// The random source on Windows: the system's preferred CNG generator.
#include "platform/RandomSource.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <exception>
#include <limits>

namespace platform {

bool fillRandom(std::span<std::uint8_t> bytes)
{
    // In pieces that fit the call's 32-bit count.
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), std::numeric_limits<ULONG>::max());
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(piece),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        bytes = bytes.subspan(piece);
    }
    return true;
}

void randomWords(std::span<std::uint32_t> words)
{
    if (!fillRandom({reinterpret_cast<std::uint8_t*>(words.data()), words.size_bytes()}))
        std::terminate();
}

} // namespace platform
