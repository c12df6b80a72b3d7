#include "message/UrlCoding.h"

namespace http {

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void urlDecode(std::string& text)
{
    // Decodes into the same string: the write position never passes the read one.
    std::size_t out = 0;
    for (std::size_t in = 0; in < text.size(); ++out) {
        if (text[in] == '%' && in + 2 < text.size()) {
            int high = hexDigitValue(text[in + 1]);
            int low = hexDigitValue(text[in + 2]);
            if (high >= 0 && low >= 0) {
                // Decoding continues after the produced byte, so "%2541" gives "%41".
                text[out] = char(high * 16 + low);
                in += 3;
                continue;
            }
        }
        text[out] = text[in++];
    }
    text.resize(out);
}

std::string urlEncode(std::string_view text)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        bool plain = (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        if (plain) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 15];
        }
    }
    return encoded;
}

} // namespace http
