#include "platform/RandomSource.h"

#include <cerrno>
#include <exception>
#include <sys/random.h>

namespace platform {

bool fillRandom(std::span<std::uint8_t> bytes)
{
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got > 0)
            filled += static_cast<std::size_t>(got);
        else if (got == 0 || errno != EINTR)
            return false;
    }
    return true;
}

void randomWords(std::span<std::uint32_t> words)
{
    if (!fillRandom({reinterpret_cast<std::uint8_t*>(words.data()), words.size_bytes()}))
        std::terminate();
}

} // namespace platform
