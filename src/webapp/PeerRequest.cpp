#include "webapp/PeerRequest.h"

#include "library/MediaLibrary.h"
#include "library/PeerAccess.h"
#include "webapp/LibraryRoutes.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/WebApplication.h"

#include <algorithm>

namespace webapp {

std::string peerToAsk(WebApplication& application, RequestContext& context)
{
    std::string host = parameter(context, "host");
    if (!checkJsonAuth(context) ||
        !library::mayAskPeer(host, application.library->peerAccess(
                                       library::savedPlaceHosts(context.cookies.get("favs")))))
        return {};
    return host;
}

void notePeerPlace(WebApplication& application, RequestContext& context, const std::string& host)
{
    const std::vector<std::string> saved = library::savedPlaceHosts(context.cookies.get("favs"));
    if (std::find(saved.begin(), saved.end(), host) != saved.end())
        application.library->notePlace(host);
}

} // namespace webapp
