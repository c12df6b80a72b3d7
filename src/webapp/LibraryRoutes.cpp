#include "webapp/LibraryRoutes.h"

#include "message/Request.h"
#include "library/EntryOrder.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "webapp/BrowseRoutes.h"
#include "webapp/ListingText.h"
#include "webapp/FindRoute.h"
#include "webapp/PeerBrowseRoutes.h"
#include "webapp/PeerLibraryRoute.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/WebApplication.h"

#include <algorithm>

namespace webapp {

namespace {

void sendScript(RequestContext& context, std::string_view object)
{
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")), object));
}


void sendLibrary(WebApplication& application, RequestContext& context)
{
    const library::MediaLibrary& media = *application.library;
    std::string path = parameter(context, "path");
    // A refused path is answered with the root listing, and says so.
    if (!media.isPathAllowed(path))
        path.clear();
    const bool isRoot = path.empty() || path == std::string(1, library::pathSeparator);
    std::vector<library::LibraryEntry> entries = listingEntries(media, path, isRoot);
    library::EntryOrder order(integerParameter(context, "sortby"), integerParameter(context, "sortdir"));
    std::sort(entries.begin(), entries.end(), order);
    sendScript(context, listingObject(path, context.urlToken(), isRoot, entries));
}

void sendFavorites(WebApplication& application, RequestContext& context)
{
    if (!checkJsonAuth(context)) {
        sendText(context, std::string());
        return;
    }
    // A copy, taken under the discovery agent's lock, so the text is written
    // without holding it.
    sendScript(context, favoritesObject(application.library->peers()));
}

void sendEvents(WebApplication&, RequestContext& context)
{
    if (!checkJsonAuth(context)) {
        sendText(context, std::string());
        return;
    }
    // Nothing produces client events yet: the queue is always empty.
    sendScript(context, "{}");
}

} // namespace

/// The entries of a listing, unsorted: the shared directories for the root,
/// a search's hits, or a directory's children.
std::vector<library::LibraryEntry> listingEntries(const library::MediaLibrary& media, const std::string& path,
                                                  bool isRoot)
{
    std::vector<library::LibraryEntry> entries;
    if (isRoot) {
        for (const std::string& shared : media.sharedDirectories())
            entries.push_back({shared, library::FindData::directoryAttribute, {}, 0});
    } else if (path.starts_with(library::searchPrefix)) {
        media.search(std::string_view(path).substr(library::searchPrefix.size()), false, entries);
    } else if (path.starts_with(library::folderSearchPrefix)) {
        media.search(std::string_view(path).substr(library::folderSearchPrefix.size()), true, entries);
    } else {
        media.listDirectory(path, entries);
    }
    return entries;
}

bool checkJsonAuth(RequestContext& context)
{
    // Two empty texts are what a request from another site's page carries
    // (the cookie stays home, and the page cannot read it): no match.
    const std::string cookie = context.cookies.get(context.sessionCookieName);
    return !cookie.empty() && parameter(context, "JSON_auth") == cookie;
}

void addLibraryRoutes(RouteTable& routes)
{
    routes.insert_or_assign("library.js", sendLibrary);
    routes.insert_or_assign("favorites.js", sendFavorites);
    routes.insert_or_assign("events.js", sendEvents);
    routes.insert_or_assign("peerlibrary.js", sendPeerLibrary);
    routes.insert_or_assign("find.js", sendFind);
    addBrowseRoutes(routes);
    addPeerBrowseRoutes(routes);
}

} // namespace webapp
