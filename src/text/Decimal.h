#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace text {

/// The run of decimal digits at the start of a text.
struct DecimalRun {
    std::size_t digits = 0;    // how many characters were digits
    std::uint64_t value = 0;   // their value, held at the limit once past it
    bool overLimit = false;    // the digits' true value lies past the limit
};

/// Reads the decimal digits at the start of `text` (no blanks, no sign: the
/// caller takes those first). The value saturates at `limit`. Pure; the one
/// decimal reader every parser builds on.
constexpr DecimalRun leadingDecimal(std::string_view text,
                                    std::uint64_t limit = std::numeric_limits<std::uint64_t>::max())
{
    DecimalRun run;
    for (; run.digits < text.size() && text[run.digits] >= '0' && text[run.digits] <= '9'; ++run.digits) {
        const auto digit = static_cast<std::uint64_t>(text[run.digits] - '0');
        if (run.overLimit || limit < digit || run.value > (limit - digit) / 10) {
            run.overLimit = true;
            run.value = limit;
        } else {
            run.value = run.value * 10 + digit;
        }
    }
    return run;
}

/// All of `text` as a decimal number no greater than `limit`; nothing when
/// it is empty, holds anything but digits, or its value is larger.
constexpr std::optional<std::uint64_t> wholeDecimal(std::string_view text, std::uint64_t limit)
{
    const DecimalRun run = leadingDecimal(text, limit);
    if (text.empty() || run.digits != text.size() || run.overLimit)
        return std::nullopt;
    return run.value;
}

} // namespace text
