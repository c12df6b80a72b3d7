// Test-only session step: every request shares the session "" and is never
// challenged, so listener tests do not depend on authentication.
#include "http/Request.h"
#include "http/Server.h"
#include "http/SessionStep.h"

namespace http {

SessionBinding attachSession(Server& server, Request& request, Response&)
{
    return {server.sessionFor(""), server.realm(request.path)};
}

} // namespace http
