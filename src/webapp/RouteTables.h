#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace webapp {

class WebApplication;
struct RequestContext;

/// Where an embedded web-client file lives: its resource id and type
/// (webclient::kHtmlType, kJpegType, kGifType or kIcoType).
struct ResourceRef {
    std::uint16_t id = 0;
    std::string_view type;
};

/// A route: writes the whole answer (status, headers, body) through the
/// context's response and sends it. Runs on a connection's thread, possibly
/// on several at once.
using RouteHandler = std::function<void(WebApplication&, RequestContext&)>;

/// The process-wide tables, keyed by route name (exact byte comparison).
/// The `WebApplication` constructor fills them before its server starts;
/// afterwards they are only read, so readers take no lock. Whoever adds a
/// route of its own must do so before the server accepts its first
/// connection.
std::map<std::string, ResourceRef>& resourceTable();
std::map<std::string, RouteHandler>& routeTable();

} // namespace webapp
