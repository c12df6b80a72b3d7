#include "webapp/PeerLibraryRoute.h"

#include "message/Response.h"
#include "message/UrlCoding.h"
#include "library/FetchUrl.h"
#include "library/PeerListing.h"
#include "webapp/ListingText.h"
#include "webapp/PeerRequest.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/WebApplication.h"

namespace webapp {

namespace {

/// A listing is text of a few bytes per entry; a peer has no reason to send more.
constexpr std::size_t longestListing = 4u << 20;

bool fetchListing(const std::string& host, RequestContext& context, library::PeerListing& listing)
{
    const std::string url = "http://" + host + "/library.js?path=" + http::urlEncode(parameter(context, "path")) +
                            "&sortby=" + std::to_string(integerParameter(context, "sortby")) +
                            "&sortdir=" + std::to_string(integerParameter(context, "sortdir"));
    library::FetchLimits limits;
    limits.answerBytes = longestListing;
    http::Response answer;
    return library::fetchUrl(url, answer, limits) && answer.status == 200 &&
           library::parsePeerListing(answer.body, listing);
}

} // namespace

void sendPeerLibrary(WebApplication& application, RequestContext& context)
{
    const std::string host = peerToAsk(application, context);
    library::PeerListing listing;
    if (host.empty() || !fetchListing(host, context, listing)) {
        sendText(context, std::string());
        return;
    }
    notePeerPlace(application, context, host);
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")), peerListingObject(listing)));
}

} // namespace webapp
