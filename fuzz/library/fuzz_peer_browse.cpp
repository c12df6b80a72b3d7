// Feeds arbitrary bytes, as a peer's answer to a tag listing route, to the
// answer reader and checks that an object it takes holds nothing that could
// end a script string or element, that it is the peer's object byte for
// byte, and that it reads back the same.
#include "library/PeerBrowseAnswer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string object;
    if (!library::readPeerBrowseAnswer(text, object))
        return 0;
    auto unsafe = [](char c) {
        return c == '<' || c == '\\' || c == '\'' || c == '(' || c == ')' || c == ';' ||
               (static_cast<unsigned char>(c) < 0x20 && c != '\n');
    };
    if (std::any_of(object.begin(), object.end(), unsafe) || object != text.substr(1, text.size() - 3))
        __builtin_trap();
    std::string again;
    if (!library::readPeerBrowseAnswer("(" + object + ");", again) || again != object)
        __builtin_trap();
    return 0;
}
