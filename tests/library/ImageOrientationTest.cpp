// Turning a photo upright, checked on a small grid of letters (a letter a
// pixel): each EXIF orientation is laid out from its definition (which side
// of the picture the stored first row and first column show), and turning
// it upright must give the picture back as seen.
#include "library/ImageOrientation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Grid = std::vector<std::string>;  // rows of pixels, one letter each

enum class Side { top, bottom, left, right };

/// `seen` as a camera stores it when its first row shows side `row0` and its
/// first column side `col0` of the picture.
Grid stored(const Grid& seen, Side row0, Side col0)
{
    const int height = static_cast<int>(seen.size());
    const int width = static_cast<int>(seen[0].size());
    const bool sideways = row0 == Side::left || row0 == Side::right;
    Grid out(sideways ? width : height, std::string(sideways ? height : width, '?'));
    for (int y = 0; y < static_cast<int>(out.size()); ++y)
        for (int x = 0; x < static_cast<int>(out[0].size()); ++x) {
            int seenX = 0;
            int seenY = 0;
            auto place = [&](Side side, int at) {
                switch (side) {
                case Side::top: seenY = at; break;
                case Side::bottom: seenY = height - 1 - at; break;
                case Side::left: seenX = at; break;
                case Side::right: seenX = width - 1 - at; break;
                }
            };
            place(row0, y);
            place(col0, x);
            out[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                seen[static_cast<std::size_t>(seenY)][static_cast<std::size_t>(seenX)];
        }
    return out;
}

/// The grid through `turnedUpright`, a letter a pixel.
Grid upright(const Grid& grid, int orientation)
{
    library::Pixels pixels{static_cast<std::uint32_t>(grid[0].size()), static_cast<std::uint32_t>(grid.size()), {}};
    for (const std::string& row : grid)
        for (char letter : row)
            pixels.values.push_back(static_cast<std::uint32_t>(letter));
    const library::Pixels turned = library::turnedUpright(pixels, orientation);
    Grid out;
    for (std::uint32_t y = 0; y < turned.height; ++y) {
        out.emplace_back();
        for (std::uint32_t x = 0; x < turned.width; ++x)
            out.back() += static_cast<char>(turned.values[y * turned.width + x]);
    }
    return out;
}

} // namespace

TEST(ImageOrientation, EveryOrientationTurnsUpright)
{
    const Grid seen{"abc", "def"};
    struct Case {
        int orientation;
        Side row0;
        Side col0;
    };
    const Case cases[] = {
        {1, Side::top, Side::left},     {2, Side::top, Side::right}, {3, Side::bottom, Side::right},
        {4, Side::bottom, Side::left},  {5, Side::left, Side::top},  {6, Side::right, Side::top},
        {7, Side::right, Side::bottom}, {8, Side::left, Side::bottom},
    };
    for (const Case& c : cases) {
        const Grid camera = stored(seen, c.row0, c.col0);
        EXPECT_EQ(upright(camera, c.orientation), seen)
            << "orientation " << c.orientation << " stored as " << ::testing::PrintToString(camera);
    }
    // Values outside the eight leave the image as stored.
    const Grid camera = stored(seen, Side::right, Side::top);
    for (int other : {0, 9, -1, 65535})
        EXPECT_EQ(upright(camera, other), camera) << other;
}
