// Feeds arbitrary bytes to the Digest parameter parser, and through the whole
// authorisation check of a session, which must refuse without crashing.
#include "http/AccessRules.h"
#include "http/Authentication.h"
#include "http/Digest.h"
#include "message/Request.h"
#include "http/StateStore.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    http::DigestParameters parameters = http::parseDigestParameters(text);
    for (const auto& [name, value] : parameters) {
        if (name.find_first_of(", ") != std::string::npos || value.find_first_of(", ") != std::string::npos)
            __builtin_trap();
    }

    static const http::AccessRules rules{.requirePassword = true, .username = "alice", .password = "s3cret"};
    http::StateStore session;
    http::Request request;
    request.path = "/index.html";
    request.headers["Authorization"] = "Digest " + text;
    const http::Authorization result = http::authorize(session, rules, request, 0);
    if (result == http::Authorization::byDigest || result == http::Authorization::bySession)
        __builtin_trap();  // nothing but a forged MD5 could pass
    return 0;
}
