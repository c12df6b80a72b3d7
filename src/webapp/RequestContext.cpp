#include "webapp/RequestContext.h"

#include "message/Request.h"
#include "http/SessionTable.h"

namespace webapp {

namespace {

std::string cookieHeader(const http::Request& request)
{
    auto found = request.headers.find("Cookie");
    return found == request.headers.end() ? std::string() : found->second;
}

} // namespace

RequestContext::RequestContext(http::Request& request, http::Response& response, http::StateStore* session,
                               std::string routeName, std::string sessionCookieName)
    : request(request),
      response(response),
      session(session),
      cookies(cookieHeader(request)),
      routeName(std::move(routeName)),
      params(request.params),
      sessionCookieName(std::move(sessionCookieName))
{
}

std::string RequestContext::urlToken() const
{
    if (!sessions || request.authorizedSession.empty())
        return {};
    return sessions->urlToken(request.authorizedSession);
}

} // namespace webapp
