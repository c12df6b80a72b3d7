// Feeds arbitrary bytes to the response parser; whatever it reads can be
// written again, whole, in one send.
#include "message/BufferStream.h"
#include "message/Response.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    http::Response parsed;
    parsed.parseText(text);

    http::BufferStream out;
    parsed.socket = &out;
    if (parsed.send() != long(parsed.headText().size() + parsed.body.size()))
        std::abort();
    return 0;
}
