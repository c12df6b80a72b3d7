// Turning a photo upright, on a grid of letters (a letter a pixel): as each
// EXIF orientation stores the picture "abc" over "def", turned upright.
#include "library/ImageOrientation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Grid = std::vector<std::string>;

static Grid upright(const Grid& grid, int orientation)
{
    library::Pixels pixels{static_cast<std::uint32_t>(grid[0].size()), static_cast<std::uint32_t>(grid.size()), {}};
    for (const std::string& row : grid)
        pixels.values.insert(pixels.values.end(), row.begin(), row.end());
    const library::Pixels turned = library::turnedUpright(pixels, orientation);
    Grid out(turned.height);
    for (std::uint32_t i = 0; i < turned.values.size(); ++i)
        out[i / turned.width] += static_cast<char>(turned.values[i]);
    return out;
}

TEST(ImageOrientation, EveryOrientationTurnsUpright)
{
    const Grid seen{"abc", "def"};
    const std::pair<int, Grid> stored[] = {
        {1, {"abc", "def"}},       {2, {"cba", "fed"}},       {3, {"fed", "cba"}},       {4, {"def", "abc"}},
        {5, {"ad", "be", "cf"}},   {6, {"cf", "be", "ad"}},   {7, {"fc", "eb", "da"}},   {8, {"da", "eb", "fc"}},
        {0, {"cf", "be", "ad"}},   {9, {"cf", "be", "ad"}},  // no orientation: as stored
    };
    for (const auto& [orientation, grid] : stored)
        EXPECT_EQ(upright(grid, orientation), orientation >= 1 && orientation <= 8 ? seen : grid) << orientation;
}
