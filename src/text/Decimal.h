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

/// The blanks C's atoi passes over before a number.
inline constexpr std::string_view cBlanks = " \t\n\v\f\r";

/// A number as C's atoi reads it: the leading run of `blanks`, one optional
/// "+" or "-", then `leadingDecimal` of what follows (saturating at `limit`).
/// A text without digits reads as 0. Pure.
struct SignedDecimal {
    bool negative = false;   // a "-" came before the digits
    DecimalRun magnitude;    // the digits after the sign
};

constexpr SignedDecimal signedDecimal(std::string_view text, std::uint64_t limit,
                                      std::string_view blanks = cBlanks)
{
    std::size_t at = 0;
    while (at < text.size() && blanks.find(text[at]) != std::string_view::npos)
        ++at;
    SignedDecimal read;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        read.negative = text[at++] == '-';
    read.magnitude = leadingDecimal(text.substr(at), limit);
    return read;
}

/// C's atoi of `text` without its undefined overflow: a value past the range
/// of a 32-bit int is held at its nearest end; 0 when no digits come. Pure.
constexpr std::int32_t atoiLike(std::string_view text)
{
    constexpr auto highest = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max());
    const SignedDecimal read = signedDecimal(text, static_cast<std::uint64_t>(highest) + 1);
    const auto magnitude = static_cast<std::int64_t>(read.magnitude.value);
    return static_cast<std::int32_t>(read.negative ? -magnitude : (magnitude > highest ? highest : magnitude));
}

} // namespace text
