#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace player {

/// The order in which shuffle plays the playlist: a permutation of the entry
/// indices with a cursor on the current entry. It follows every playlist
/// change, so that one pass plays each entry once.
class ShuffleOrder {
public:
    explicit ShuffleOrder(std::uint32_t seed) : random(seed) {}

    /// A fresh random order of `size` entries; `first` (when valid) leads it
    /// and the cursor is on it, otherwise the cursor is before the start.
    void reset(int size, int first);

    /// The playlist gained entry `index` (at its end): it is placed at a random
    /// point after the cursor, so it is still to come in this pass.
    void appended(int index);
    void removed(int index);
    void swapped(int a, int b);
    void cleared();

    /// The entry after the cursor, moving onto it; -1 when the pass is over.
    int next();
    /// The entry before the cursor, moving onto it; -1 at the start.
    int previous();
    /// Puts the cursor on `index` (the user chose an entry).
    void moveTo(int index);

    const std::vector<int>& entries() const { return order; }

private:
    std::mt19937 random;
    std::vector<int> order;
    int cursor = -1;
};

} // namespace player
