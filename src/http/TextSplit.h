#pragma once

#include <string_view>
#include <vector>

namespace http {

/// Cuts `text` at every character of `delimiters` and drops the empty parts,
/// so runs of delimiters count as one. The parts view into `text`.
inline std::vector<std::string_view> splitAny(std::string_view text, std::string_view delimiters)
{
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find_first_of(delimiters, begin);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > begin)
            parts.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

} // namespace http
