#include "platform/Guid.h"

namespace platform {

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
