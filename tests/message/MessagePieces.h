#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace http::test {

/// Cuts `text` into pieces of 1 to `longest` bytes, sizes drawn from `rng`.
inline std::vector<std::string> randomPieces(std::string_view text, std::mt19937& rng, std::size_t longest)
{
    std::vector<std::string> pieces;
    std::uniform_int_distribution<std::size_t> size(1, longest);
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t take = std::min(size(rng), text.size() - pos);
        pieces.emplace_back(text.substr(pos, take));
        pos += take;
    }
    return pieces;
}

/// The same with sizes drawn from a generator seeded with `seed`.
inline std::vector<std::string> randomPieces(std::string_view text, std::uint32_t seed, std::size_t longest)
{
    std::mt19937 rng(seed);
    return randomPieces(text, rng, longest);
}

} // namespace http::test
