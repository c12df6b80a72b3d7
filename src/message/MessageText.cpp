#include "message/MessageText.h"

#include "message/UrlCoding.h"
#include "text/Decimal.h"

#include <algorithm>
#include <limits>

namespace http {

namespace {

std::string_view dropLeadingSpaces(std::string_view text)
{
    std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

template <typename Map>
void readLines(std::string_view text, Map& headers)
{
    std::size_t pos = 0;
    for (;;) {
        std::size_t end = text.find("\r\n", pos);
        // A line not yet ended (a head cut at the buffer's size) is not read.
        if (end == std::string_view::npos || end == pos)
            return;
        std::string_view line = text.substr(pos, end - pos);
        std::size_t colon = line.find(':');
        if (colon != std::string_view::npos)
            headers.emplace(std::string(line.substr(0, colon)),
                            std::string(dropLeadingSpaces(line.substr(colon + 1))));
        pos = end + 2;
    }
}

template <typename Map>
std::size_t lengthOf(const Map& headers)
{
    auto found = headers.find("Content-Length");
    if (found == headers.end())
        return 0;
    return decimalValue(found->second, std::numeric_limits<std::size_t>::max());
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lowered(x) < lowered(y); });
}

void readHeaderLines(std::string_view text, std::map<std::string, std::string>& headers)
{
    readLines(text, headers);
}

void readHeaderLines(std::string_view text, HeaderMap& headers)
{
    readLines(text, headers);
}

std::size_t decimalValue(std::string_view text, std::size_t limit)
{
    const text::SignedDecimal read = text::signedDecimal(text, limit, " \t");
    return read.negative ? 0 : static_cast<std::size_t>(read.magnitude.value);
}

bool isLengthValue(std::string_view value)
{
    const std::size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    const std::size_t last = value.find_last_not_of(" \t");
    const std::string_view digits = value.substr(first, last + 1 - first);
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::size_t contentLength(const std::map<std::string, std::string>& headers)
{
    return lengthOf(headers);
}

std::size_t contentLength(const HeaderMap& headers)
{
    return lengthOf(headers);
}

void readParams(std::string_view text, std::map<std::string, std::string>& params)
{
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('&', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view part = text.substr(pos, end - pos);
        std::size_t equals = part.find('=');
        if (equals != std::string_view::npos) {
            std::string name(part.substr(0, equals));
            urlDecode(name);
            if (!params.contains(name)) {
                std::string value(dropLeadingSpaces(part.substr(equals + 1)));
                urlDecode(value);
                params.emplace(std::move(name), std::move(value));
            }
        }
        pos = end + 1;
    }
}

std::size_t findBlankLine(std::string_view text, std::size_t from)
{
    return from > text.size() ? std::string_view::npos : text.find("\r\n\r\n", from);
}

} // namespace http
