#include "http/RangeHeader.h"

#include <algorithm>
#include <limits>

namespace http {

std::uint64_t parseRangeStart(std::string_view value)
{
    std::size_t equals = value.find('=');
    if (equals == std::string_view::npos)
        return 0;
    std::size_t dash = value.find('-', equals + 1);
    if (dash == std::string_view::npos)
        return 0;
    std::string_view text = value.substr(equals + 1, dash - equals - 1);
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));

    constexpr std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t start = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        auto digit = static_cast<std::uint64_t>(c - '0');
        // A start beyond any file size is unsatisfiable; saturating keeps it so
        // instead of wrapping round to a small offset.
        if (start > (largest - digit) / 10)
            return largest;
        start = start * 10 + digit;
    }
    return start;
}

} // namespace http
