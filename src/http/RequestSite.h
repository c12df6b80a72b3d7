#pragma once

#include "message/MessageText.h"

#include <string_view>

namespace http {

/// Where a browser says a request comes from, read from "Sec-Fetch-Site",
/// "Origin" and "Referer" against the request's "Host".
struct RequestSite {
    /// A page of another origin made the request: "Sec-Fetch-Site" is there
    /// and neither "same-origin" nor "none", or "Origin" or "Referer" names
    /// another scheme, host or port than "Host" (an opaque "null" origin
    /// included). A request without any of the three is not foreign: it
    /// comes from a program, not from a page.
    bool foreign = false;
    /// "host:port" of that page as its "Origin" or else its "Referer" gives
    /// it ("host" alone for port 80); empty when neither names it. A view
    /// into `headers`.
    std::string_view page;
};

/// Reads the site of a request with these headers. Pure; allocates nothing.
RequestSite requestSite(const HeaderMap& headers);

} // namespace http
