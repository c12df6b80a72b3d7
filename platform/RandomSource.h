#pragma once

#include <cstdint>
#include <span>

namespace platform {

/// The process's one source of unpredictable bytes: the operating system's
/// random generator, read anew for every call (nothing is kept or seeded in
/// the process). Every id, nonce secret and opaque is drawn from here. Any
/// thread.

/// Fills `bytes`; false when the system cannot give them (the bytes are then
/// unspecified).
bool fillRandom(std::span<std::uint8_t> bytes);

/// Fills `words`. Ends the process when the system cannot give them: an id
/// or secret that could be guessed is worse than none.
void randomWords(std::span<std::uint32_t> words);

} // namespace platform
