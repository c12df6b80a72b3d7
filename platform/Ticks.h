#pragma once

#include <cstdint>

namespace platform {

/// Milliseconds of a monotonic clock, cut to 32 bits: wraps about every 49.7
/// days, so compare ticks only by unsigned difference.
std::uint32_t tickCount();

} // namespace platform
