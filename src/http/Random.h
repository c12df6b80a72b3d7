#pragma once

#include <cstdint>
#include <random>
#include <span>

namespace http {

/// Fills `words` with consecutive outputs of the process-wide MT19937
/// generator. Any thread; the draws of one call are taken together and calls
/// are serialised. The generator is seeded on first use with 624 words from
/// /dev/urandom, or, when those cannot be read, with a hash of the time and
/// the processor clock.
void randomWords(std::span<std::uint32_t> words);

/// A generator in the state that the reference array initialisation
/// (init_by_array, base seed 19650218) gives for `key`. Pure.
std::mt19937 arraySeededGenerator(std::span<const std::uint32_t> key);

} // namespace http
