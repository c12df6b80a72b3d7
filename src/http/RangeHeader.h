#pragma once

#include <cstdint>
#include <string_view>

namespace http {

/// What a "Range" header asks of a file.
struct RangeChoice {
    enum Answer { whole, part, unsatisfiable };
    Answer answer = whole;
    std::uint64_t first = 0;   // of the part
    std::uint64_t length = 0;  // of the part, at least 1
};

/// Reads a "Range" value against a file of `size` bytes: "bytes=" and one or
/// more ranges separated by commas, each "first-last" (the last byte
/// included; a last past the end stops at the end), "first-" (to the end) or
/// "-count" (the last count bytes). The first range that lies within the
/// file is the part answered; when none does, the range is unsatisfiable. A
/// value that is not such a list (another unit, a range whose last comes
/// before its first, stray characters) asks for the whole file. Pure; any
/// input is accepted.
RangeChoice chooseRange(std::string_view value, std::uint64_t size);

} // namespace http
