#include "library/TagTextRules.h"

#include <array>
#include <climits>
#include <cstdint>

namespace library {

std::optional<TagNumber> tagNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    if (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80)
        return std::nullopt;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    const std::size_t digits = i;
    long value = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (LONG_MAX - 9) / 10)
            overflow = true;
        else
            value = value * 10 + (text[i] - '0');
    }
    TagNumber number;
    if (i == digits)
        return number;
    number.value = overflow ? (negative ? LONG_MIN : LONG_MAX) : (negative ? -value : value);
    number.whole = i == text.size() && !overflow && number.value > INT_MIN && number.value < INT_MAX;
    return number;
}

std::string trimmedText(std::string_view text)
{
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    if (last == std::string_view::npos)
        return {};
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

int leadingDigits(std::string_view text)
{
    int number = 0;
    for (char c : trimmedText(text)) {
        if (c < '0' || c > '9' || number > 100000)
            break;
        number = number * 10 + (c - '0');
    }
    return number;
}

void appendCodePoint(std::string& to, std::uint32_t c)
{
    if (c < 0x80) {
        to.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        to.push_back(static_cast<char>(0xC0 | (c >> 6)));
        to.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        to.push_back(static_cast<char>(0xE0 | (c >> 12)));
        to.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        to.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        to.push_back(static_cast<char>(0xF0 | (c >> 18)));
        to.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        to.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        to.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                                    : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || text.size() - i < length)
            return false;
        std::uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        constexpr std::array<std::uint32_t, 5> least{0, 0, 0x80, 0x800, 0x10000};
        if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

void appendLatin1(std::string& to, std::string_view text)
{
    for (char c : text)
        appendCodePoint(to, static_cast<unsigned char>(c));
}

} // namespace library
