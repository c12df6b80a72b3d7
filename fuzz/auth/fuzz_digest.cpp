// Feeds arbitrary bytes to the Digest parameter parser, and through the whole
// authorisation check of a session, which must refuse without crashing.
#include "http/Authentication.h"
#include "http/Digest.h"
#include "message/Request.h"
#include "http/Server.h"
#include "http/StateStore.h"
#include "http/support/AccountServer.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using FuzzServer = testing_support::AccountServer;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    http::DigestParameters parameters = http::parseDigestParameters(text);
    for (const auto& [name, value] : parameters) {
        if (name.find_first_of(", ") != std::string::npos || value.find_first_of(", ") != std::string::npos)
            __builtin_trap();
    }

    static FuzzServer server;
    http::StateStore session;
    http::Request request;
    request.path = "/index.html";
    request.headers["Authorization"] = "Digest " + text;
    if (http::isAuthorized(session, server, request))
        __builtin_trap();  // nothing but a forged MD5 could pass
    return 0;
}
