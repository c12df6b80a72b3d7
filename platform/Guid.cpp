#include "platform/Guid.h"

#include <sys/random.h>

namespace platform {

std::optional<Guid> newGuid()
{
    Guid guid{};
    std::size_t filled = 0;
    while (filled < guid.size()) {
        ssize_t got = getrandom(guid.data() + filled, guid.size() - filled, 0);
        if (got <= 0)
            return std::nullopt;
        filled += static_cast<std::size_t>(got);
    }
    return guid;
}

std::string guidText(const Guid& guid)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < guid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += digits[guid[i] >> 4];
        text += digits[guid[i] & 0xf];
    }
    return text;
}

std::string newGuidText()
{
    auto guid = newGuid();
    return guid ? guidText(*guid) : std::string();
}

} // namespace platform
