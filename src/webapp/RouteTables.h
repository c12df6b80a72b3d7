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
/// (webclient::kHtmlType, kJpegType, kGifType, kIcoType or kPngType), the key
/// `webclient::findResource` takes.
struct ResourceRef {
    std::uint16_t id = 0;
    std::string_view type;
};

/// A route: writes the whole answer (status, headers, body) through the
/// context's response and sends it. Runs on a serving thread of the
/// server's dispatcher, possibly on several at once.
using RouteHandler = std::function<void(WebApplication&, RequestContext&)>;

/// Tables keyed by route name (exact byte comparison).
using ResourceTable = std::map<std::string, ResourceRef, std::less<>>;
using RouteTable = std::map<std::string, RouteHandler, std::less<>>;

/// The tables of one `WebApplication`: every route's handler, and the
/// embedded file of each route that serves one. Filled while the
/// application is made and only read afterwards, so readers take no lock.
struct RouteTables {
    ResourceTable resources;
    RouteTable routes;
};

} // namespace webapp
