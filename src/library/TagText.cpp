#include "library/TagText.h"

#include <taglib/tstring.h>

#include <cctype>

namespace library {

std::string tagText(const TagLib::String& text)
{
    // Trimmed in place: a tag's text is most often kept whole.
    std::string value = text.to8Bit(true);
    const auto last = value.find_last_not_of(" \t\r\n");
    if (last == std::string::npos)
        return {};
    value.erase(last + 1);
    value.erase(0, value.find_first_not_of(" \t\r\n"));
    return value;
}

int leadingNumber(const TagLib::String& text)
{
    int number = 0;
    for (char c : tagText(text)) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || number > 100000)
            break;
        number = number * 10 + (c - '0');
    }
    return number;
}

} // namespace library
