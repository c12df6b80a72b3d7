#include "http/RangeHeader.h"
#include "text/Decimal.h"

#include "message/MessageText.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace http {
namespace {

std::string_view trimmed(std::string_view text)
{
    std::size_t first = text.find_first_not_of(" \t");
    if (first == npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

/// All of `text` as a decimal number; none when empty or not all digits. A
/// number too large for 64 bits saturates: it lies past any file's end.
std::optional<std::uint64_t> number(std::string_view text)
{
    const text::DecimalRun run = text::leadingDecimal(text);
    if (text.empty() || run.digits != text.size())
        return std::nullopt;
    return run.value;
}

bool isBytesUnit(std::string_view unit)
{
    constexpr std::string_view bytes = "bytes";
    return unit.size() == bytes.size()
        && std::equal(unit.begin(), unit.end(), bytes.begin(),
                      [](char a, char b) { return (a | 0x20) == b; });
}

} // namespace

RangeChoice chooseRange(std::string_view value, std::uint64_t size)
{
    const RangeChoice whole;
    std::size_t equals = value.find('=');
    if (equals == npos || !isBytesUnit(trimmed(value.substr(0, equals))))
        return whole;

    std::optional<RangeChoice> chosen;
    bool any = false;
    std::string_view rest = value.substr(equals + 1);
    for (;;) {
        std::size_t comma = rest.find(',');
        std::string_view spec = trimmed(rest.substr(0, comma));
        if (!spec.empty()) {
            any = true;
            std::size_t dash = spec.find('-');
            if (dash == npos)
                return whole;
            std::optional<std::uint64_t> first = number(spec.substr(0, dash));
            std::optional<std::uint64_t> last = number(spec.substr(dash + 1));
            if (!first && !last)
                return whole;
            if (first && last && *last < *first)
                return whole;
            if (!chosen) {
                if (!first) {  // the last `*last` bytes
                    std::uint64_t count = std::min(*last, size);
                    if (count > 0)
                        chosen = RangeChoice{RangeChoice::part, size - count, count};
                } else if (*first < size) {
                    std::uint64_t end = last ? std::min(*last, size - 1) : size - 1;
                    chosen = RangeChoice{RangeChoice::part, *first, end - *first + 1};
                }
            }
        }
        if (comma == npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    if (!any)
        return whole;
    return chosen ? *chosen : RangeChoice{RangeChoice::unsatisfiable, 0, 0};
}

} // namespace http
