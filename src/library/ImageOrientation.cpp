#include "library/ImageOrientation.h"

namespace library {

namespace {

/// How a photo stored on its side is turned upright: first turned clockwise
/// by `quarterTurns` quarters, then, when `mirrored`, mirrored left to
/// right. The two steps in this order give the eight layouts a camera
/// records.
struct UprightTurn {
    int quarterTurns = 0;  // 0..3
    bool mirrored = false;
};

UprightTurn uprightTurnFor(int orientation)
{
    switch (orientation) {
    case 2:
        return {0, true};
    case 3:
        return {2, false};
    case 4:
        return {2, true};
    case 5:  // the rows are the columns: turned right, then mirrored
        return {1, true};
    case 6:
        return {1, false};
    case 7:  // the rows are the columns read backwards
        return {3, true};
    case 8:
        return {3, false};
    default:
        return {};
    }
}

} // namespace

Pixels turnedUpright(const Pixels& stored, int orientation)
{
    const UprightTurn turn = uprightTurnFor(orientation);
    const std::uint32_t w = stored.width;
    const std::uint32_t h = stored.height;
    if (stored.values.size() != static_cast<std::size_t>(w) * h)
        return stored;
    const bool sideways = turn.quarterTurns % 2 == 1;
    Pixels out{sideways ? h : w, sideways ? w : h, std::vector<std::uint32_t>(stored.values.size())};
    for (std::uint32_t y = 0; y < out.height; ++y) {
        for (std::uint32_t x = 0; x < out.width; ++x) {
            // Where the pixel shown at (x, y) is stored: the mirroring undone
            // first, then the turn.
            const std::uint32_t turnedX = turn.mirrored ? out.width - 1 - x : x;
            std::uint32_t fromX = turnedX;
            std::uint32_t fromY = y;
            switch (turn.quarterTurns) {
            case 1:  // clockwise: the shown row y is stored column y, read upwards
                fromX = y;
                fromY = h - 1 - turnedX;
                break;
            case 2:
                fromX = w - 1 - turnedX;
                fromY = h - 1 - y;
                break;
            case 3:
                fromX = w - 1 - y;
                fromY = turnedX;
                break;
            default:
                break;
            }
            out.values[static_cast<std::size_t>(y) * out.width + x] =
                stored.values[static_cast<std::size_t>(fromY) * w + fromX];
        }
    }
    return out;
}

} // namespace library
