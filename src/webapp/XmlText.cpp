#include "webapp/XmlText.h"

#include <cstdint>

namespace webapp {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";  // U+FFFD

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

bool isXmlCharacter(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

std::string xmlCharacters(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            if (isXmlCharacter(lead))
                out += static_cast<char>(lead);
            else
                out += replacement;
            ++at;
            continue;
        }
        // The length a lead byte announces and the range its second byte
        // must lie in: that range shuts out overlong forms, surrogates and
        // values past U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        std::uint32_t value = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        // The longest valid start of a sequence counts as one bad character;
        // the byte that broke it starts the next one.
        std::size_t taken = 1;
        bool whole = length != 0;
        for (; whole && taken < length; ++taken) {
            if (at + taken >= bytes.size()) {
                whole = false;
                break;
            }
            const auto next = static_cast<unsigned char>(bytes[at + taken]);
            const bool fits = taken == 1 ? next >= low && next <= high : isContinuation(next);
            if (!fits) {
                whole = false;
                break;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if (whole && isXmlCharacter(value))
            out.append(bytes.substr(at, length));
        else
            out += replacement;
        at += taken;
    }
    return out;
}

} // namespace webapp
