#pragma once

#include <string>

namespace webapp {

class WebApplication;
struct RequestContext;

/// What every route that asks a peer on the client's behalf checks first.

/// The request's "host" (a peer's authority) when the request may have it
/// asked: its JSON_auth names its session cookie (`checkJsonAuth`) and
/// `mayAskPeer` allows the host, a peer discovery hears, a saved place of
/// the request's "favs" cookie or a place noted before, never this
/// instance. Empty otherwise. Any serving thread; may ask the resolver.
std::string peerToAsk(WebApplication& application, RequestContext& context);

/// Notes `host` (`MediaLibrary::notePlace`) when it is a saved place of the
/// request's "favs" cookie, so its "/stream?" URLs may be fetched later by
/// requests that do not carry the cookie. Call once the peer's answer was
/// taken. Any serving thread.
void notePeerPlace(WebApplication& application, RequestContext& context, const std::string& host);

} // namespace webapp
