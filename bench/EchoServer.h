#pragma once

#include "http/RequestThread.h"
#include "message/Response.h"
#include "http/Server.h"

#include <memory>
#include <string>

namespace bench {

/// The cheapest useful answer: "ok" as plain text, so a load measures the
/// listener, the parser and the writer rather than a handler.
class OkConnection final : public http::RequestThread {
public:
    using RequestThread::RequestThread;

private:
    void handle(http::Response& response) override
    {
        response.headers["Content-Type"] = "text/plain";
        response.setBody("ok");
        response.send();
    }
};

class OkServer final : public http::Server {
public:
    using Server::Server;

    bool acceptConnection(platform::UniqueFd socket) override
    {
        return startConnection(std::make_unique<OkConnection>(std::move(socket), *this));
    }
};

} // namespace bench
