#include "webapp/ScriptText.h"

#include <cstdio>

namespace webapp {

namespace {

constexpr std::size_t longestCallback = 128;

bool isIdentifierByte(char c, bool first)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$')
        return true;
    return !first && c >= '0' && c <= '9';
}

std::string unicodeEscape(unsigned code)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", code);
    return text;
}

} // namespace

std::string scriptCallback(std::string_view callback)
{
    if (callback.empty() || callback.size() > longestCallback)
        return {};
    bool first = true;
    for (char c : callback) {
        if (c == '.' && !first) {
            first = true;
            continue;
        }
        if (!isIdentifierByte(c, first))
            return {};
        first = false;
    }
    // A trailing "." leaves an empty last identifier.
    return first ? std::string() : std::string(callback);
}

std::string scriptCall(std::string_view callback, std::string_view object)
{
    std::string out;
    out.reserve(callback.size() + object.size() + 3);
    out += callback;
    out += '(';
    out += object;
    out += ");";
    return out;
}

std::string scriptStringContent(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += text[i];
        } else if (byte < 0x20 || byte == 0x7f || byte == '<') {
            out += unicodeEscape(byte);
        } else if (byte == 0xe2 && text.substr(i + 1, 1) == "\x80" && i + 2 < text.size() &&
                   (text[i + 2] == '\xa8' || text[i + 2] == '\xa9')) {
            // U+2028 and U+2029 end a line inside a string for older script engines.
            out += unicodeEscape(text[i + 2] == '\xa8' ? 0x2028 : 0x2029);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace webapp
