#pragma once

#include <cstdint>
#include <string_view>

namespace http {

/// The first byte asked for by a "Range" header value: the decimal number
/// between the first "=" and the next "-" (spaces right after "=" skipped,
/// digits up to the first other character). 0 when "=" or "-" is missing or
/// no digit is there; a number too large for 64 bits gives the largest
/// value. The end of the range, further ranges and the unit are not read: an
/// answer always runs to the end of the file. Pure; any input is accepted.
std::uint64_t parseRangeStart(std::string_view value);

} // namespace http
