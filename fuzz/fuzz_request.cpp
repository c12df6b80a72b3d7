// Feeds arbitrary bytes to the request parser: once as text, once over an
// in-memory stream as a whole, and once cut into pieces chosen by the first
// byte. All three must agree; the debug listing and URL coding run on top.
#include "message/BufferStream.h"
#include "message/MessagePieces.h"
#include "message/Request.h"
#include "message/UrlCoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {


bool sameResult(const http::Request& a, const http::Request& b)
{
    return a.status == b.status && a.reason == b.reason && a.path == b.path && a.query == b.query &&
           a.protocol == b.protocol && a.headers == b.headers && a.params == b.params && a.body == b.body &&
           (a.status != 0 || a.method == b.method);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    http::Request fromText;
    fromText.parseText(text);

    http::BufferStream whole;
    whole.addInput(std::string(text));
    http::Request fromWhole;
    fromWhole.parse(whole);
    // Within one buffer's worth, receiving changes nothing about the result.
    if (text.size() <= http::Request::bufferSize && !sameResult(fromText, fromWhole))
        std::abort();

    http::BufferStream cut(http::test::randomPieces(text, data[0], 97));
    http::Request fromPieces;
    fromPieces.parse(cut);
    if (!sameResult(fromWhole, fromPieces))
        std::abort();
    fromPieces.parse(cut);  // whatever was left on the connection

    std::string html;
    fromText.dumpHtml(html);

    std::string decoded(text);
    http::urlDecode(decoded);
    std::string roundTrip = http::urlEncode(text);
    http::urlDecode(roundTrip);
    if (roundTrip != text)
        std::abort();
    return 0;
}
