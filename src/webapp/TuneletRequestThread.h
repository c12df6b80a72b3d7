#pragma once

#include "http/RequestThread.h"

#include <string>
#include <string_view>

namespace webapp {

class TuneletServer;

/// A connection of the web application. Each request is answered, in this
/// order, by the request dump for the route "info", by a file of the route's
/// name in the document root, by a route of the web application, or by the
/// 404 page.
class TuneletRequestThread final : public http::RequestThread {
public:
    TuneletRequestThread(platform::UniqueFd socket, TuneletServer& server);

    /// The request path without every leading "/"; nothing else is changed,
    /// so "//library" names "library" and "/library/" names "library/".
    static std::string routeNameFor(std::string_view path);
    /// The same name, as a view into `path`.
    static std::string_view routeIn(std::string_view path);

protected:
    void handle(http::Response& response) override;
    /// As the server's `admission` judges the request.
    int refusal() const override;

private:
    TuneletServer& tuneletServer;
};

} // namespace webapp
