#pragma once

namespace webapp {

class WebApplication;
struct RequestContext;

/// "peerlibrary.js": a peer's listing, fetched by this instance and handed
/// to the client as data. Parameters "host" (the peer's authority), "path",
/// "sortby", "sortdir", "callback" and "JSON_auth". The host must be one
/// `mayAskPeer` allows: a peer discovery hears or a saved place of the
/// request's "favs" cookie, never this instance. The peer's "library.js" is
/// asked with the path, sortby and sortdir (no callback, no cookie, no
/// session id of ours) within fetchUrl's bounds; an answer of status 200 that
/// `parsePeerListing` takes is written anew by `peerListingObject` and sent
/// as the "library.js" routes send theirs. A saved place listed so is noted
/// (`MediaLibrary::notePlace`), so its "/stream?" URLs may be fetched later.
/// Every failure (JSON_auth, host, fetch, status, grammar) answers an empty
/// body with status 200. Runs on a serving thread without any lock; the
/// fetch blocks that thread for at most fetchUrl's bound.
void sendPeerLibrary(WebApplication& application, RequestContext& context);

} // namespace webapp
