// Feeds arbitrary bytes to the response reader, as text and over an
// in-memory stream cut into pieces chosen by the first byte; both must agree.
#include "message/BufferStream.h"
#include "message/MessagePieces.h"
#include "message/Response.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    http::Response fromText;
    fromText.parseText(text);

    http::BufferStream cut(http::test::randomPieces(text, data[0], 97));
    http::Response fromPieces;
    fromPieces.receive(cut);
    if (text.size() < 40960 &&
        (fromText.protocol != fromPieces.protocol || fromText.status != fromPieces.status ||
         fromText.reason != fromPieces.reason || fromText.headers != fromPieces.headers ||
         fromText.body != fromPieces.body))
        std::abort();

    // Whatever was read can be written again.
    http::BufferStream out;
    fromPieces.socket = &out;
    if (fromPieces.send() != long(fromPieces.headText().size() + fromPieces.body.size()))
        std::abort();
    return 0;
}
