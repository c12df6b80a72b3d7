#pragma once

#include <cstdint>
#include <vector>

namespace library {

/// An image's pixels, row after row, one 32-bit value each.
struct Pixels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> values;  // width * height
};

/// `stored` turned upright for the EXIF orientation `orientation` (tag 274:
/// 1 as stored, 2 mirrored, 3 upside down, 4 upside down and mirrored, 5 to
/// 8 on its side, where width and height swap). Any other value, or pixels
/// that do not fill the size, leave the image as stored. Pure; any thread.
Pixels turnedUpright(const Pixels& stored, int orientation);

} // namespace library
