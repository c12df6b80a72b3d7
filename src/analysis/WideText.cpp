#include "analysis/WideText.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace analysis {

namespace {

constexpr std::uint32_t escapeBase = 0xDC00;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

/// The length of the well-formed sequence starting at `at` and its code
/// point, or 0 when the byte there starts none.
std::size_t decodeOne(std::string_view bytes, std::size_t at, std::uint32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length;
    std::uint32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[at + i]);
        if (!isContinuation(next))
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isHighSurrogate(std::uint32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(std::uint32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

std::wstring decodeUtf8(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        std::uint32_t codePoint = 0;
        const std::size_t length = decodeOne(bytes, at, codePoint);
        if (length == 0) {
            text += static_cast<wchar_t>(escapeBase + static_cast<unsigned char>(bytes[at]));
            ++at;
        } else {
            appendCharacter(text, codePoint);
            at += length;
        }
    }
    return text;
}

std::string encodeUtf8(std::wstring_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(text[i]);
        if (isHighSurrogate(c) && i + 1 < text.size() &&
            isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            const auto low = static_cast<std::uint32_t>(text[++i]);
            appendUtf8(bytes, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        } else if (c >= escapeBase + 0x80 && c <= escapeBase + 0xFF)
            bytes += static_cast<char>(c - escapeBase);
        else
            appendUtf8(bytes, c);
    }
    return bytes;
}

/// Where wide characters are 16 bits (Windows), a code point above U+FFFF
/// takes a surrogate pair. No other character of the decoded text is a high
/// surrogate, so a pair is never mistaken for an escaped byte.
void appendCharacter(std::wstring& text, char32_t code)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (code > 0xFFFF) {
            code -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (code >> 10));
            text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
            return;
        }
    }
    text += static_cast<wchar_t>(code);
}

Character characterAt(std::wstring_view text, std::size_t at)
{
    const auto unit = static_cast<std::uint32_t>(text[at]);
    if (isHighSurrogate(unit) && at + 1 < text.size()) {
        const auto low = static_cast<std::uint32_t>(text[at + 1]);
        if (isLowSurrogate(low))
            return {static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)), 2};
    }
    return {static_cast<char32_t>(unit), 1};
}

void toIndexForm(std::wstring& term)
{
    if constexpr (sizeof(wchar_t) > 2) {
        auto beyond = [](wchar_t c) { return (static_cast<std::uint32_t>(c) >> 16) != 0; };
        if (std::none_of(term.begin(), term.end(), beyond))
            return;
        std::wstring paired;
        paired.reserve(term.size() + 4);
        for (wchar_t c : term) {
            const auto code = static_cast<std::uint32_t>(c);
            if (!beyond(c)) {
                paired += c;
                continue;
            }
            paired += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            paired += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
        term.swap(paired);
    }
}

std::wstring decodeUtf8IndexForm(std::string_view bytes)
{
    std::wstring text = decodeUtf8(bytes);
    toIndexForm(text);
    return text;
}

std::wstring widenBytes(std::string_view bytes)
{
    std::wstring text(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}

std::wstring decimalText(std::uint64_t value)
{
    wchar_t digits[20];
    wchar_t* first = std::end(digits);
    do {
        *--first = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(first, std::end(digits));
}

std::string narrowBytes(std::wstring_view text)
{
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(static_cast<unsigned char>(text[i] & 0xFF));
    return bytes;
}

} // namespace analysis
