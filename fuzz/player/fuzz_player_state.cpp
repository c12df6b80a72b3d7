// Feeds arbitrary bytes to the reader of the player's saved state, and checks
// what must hold for any input: a refused text changes nothing, an accepted
// one keeps the limits, and what is written from it reads back to itself.
#include "player/PlayerState.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    player::PlayerState state;
    state.volume = 300;  // out of range: a refused text must leave it so
    std::string error;
    if (!state.parse(text, error)) {
        require(state.volume == 300 && state.entries.empty() && !error.empty());
        return 0;
    }
    require(state.entries.size() <= player::PlayerState::maxEntries);
    require(state.volume >= 0 && state.volume <= 255);
    require(state.entries.empty() ? state.current == 0 : state.current < static_cast<int>(state.entries.size()));
    const std::string written = state.text();
    player::PlayerState again;
    require(again.parse(written, error) && again.text() == written);
    return 0;
}
