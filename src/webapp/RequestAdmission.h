#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace http {
class Request;
class RequestThread;
}

namespace webapp {

class WebApplication;

/// What the web application refuses before anything is done for a request:
///
/// - a "Host" that names no IP literal, "localhost", name of this machine or
///   name the user allowed ("Allowed Hosts"): 421, as a page whose name was
///   rebound to this machine's address sends;
/// - a request a browser marks as made by another site's page (see
///   `http::requestSite`): 403, except the client's own files (pages,
///   scripts, style sheets, images), and "library.js", "find.js" and "download" for a
///   page whose host and port are those of a peer in the discovery table (or
///   a page on the browser's own loopback, with the port a peer at the
///   browser's address announced), so a peer's client still browses this
///   library. Every command, status
///   document, "favorites.js", "events.js", "stream" and any other route is
///   refused to other sites.
///
/// Requests without "Sec-Fetch-Site", "Origin" and "Referer" (programs such
/// as curl, media players and the player's own fetches) are judged by
/// "Host" alone, and a request without "Host" is not judged by it.
///
/// Threads: `refusal` on serving threads, several at once; `allowHosts` on
/// any thread. `application` must outlive it.
class RequestAdmission {
public:
    explicit RequestAdmission(const WebApplication& application);

    /// Takes the user's names (white space, "," or ";" between them) beside
    /// the machine's own names, read anew now.
    void allowHosts(std::string_view userNames);

    /// 0 to admit `request`, which came on `connection`, else 421 or 403.
    /// Allocates nothing for a request from a program or from this server's
    /// own pages.
    int refusal(const http::Request& request, const http::RequestThread& connection) const;

private:
    /// Whether "host:port" (port 80 when absent) is a peer's page, for a
    /// browser at `clientAddress` ("a.b.c.d:port").
    bool isPeerPage(std::string_view page, std::string_view clientAddress) const;

    const WebApplication& application;
    mutable std::mutex namesLock;
    std::shared_ptr<const std::vector<std::string>> hostNames;  // under namesLock
};

} // namespace webapp
