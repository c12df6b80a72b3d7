#include "http/Admission.h"

#include <algorithm>

namespace http {

std::vector<std::string> splitText(std::string_view text, std::string_view delimiters)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t start = text.find_first_not_of(delimiters, at);
        if (start == std::string_view::npos)
            break;
        std::size_t end = text.find_first_of(delimiters, start);
        if (end == std::string_view::npos)
            end = text.size();
        parts.emplace_back(text.substr(start, end - start));
        at = end;
    }
    return parts;
}

std::vector<std::string> addressPatterns(std::string_view text)
{
    return splitText(text, " \t\r\n\v\f");
}

bool addressMatches(std::string_view pattern, std::string_view address)
{
    std::vector<std::string> addressParts = splitText(address, ".");
    std::vector<std::string> patternParts = splitText(pattern, ".");
    if (addressParts.size() != 4 || patternParts.size() < 4)
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (patternParts[i] != "*" && patternParts[i] != addressParts[i])
            return false;
    return true;
}

bool isAddressAllowed(std::string_view address, const std::vector<std::string>& allowed,
                      const std::vector<std::string>& blocked)
{
    auto matches = [address](const std::string& pattern) { return addressMatches(pattern, address); };
    return std::any_of(allowed.begin(), allowed.end(), matches)
        && std::none_of(blocked.begin(), blocked.end(), matches);
}

} // namespace http
