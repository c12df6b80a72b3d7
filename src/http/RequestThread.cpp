#include "http/RequestThread.h"

#include "http/Response.h"
#include "http/Server.h"
#include "http/SessionStep.h"
#include "platform/Socket.h"

namespace http {

namespace {

bool hasHeader(const Request& request, const std::string& name, std::string_view value)
{
    auto found = request.headers.find(name);
    return found != request.headers.end() && found->second == value;
}

bool hasNonEmptyHeader(const Request& request, const std::string& name)
{
    auto found = request.headers.find(name);
    return found != request.headers.end() && !found->second.empty();
}

} // namespace

RequestThread::RequestThread(platform::UniqueFd socket, Server& server)
    // `stream` is made from the parameter, before the member takes it over.
    : server(&server), stream(socket.get()), socket(std::move(socket))
{
    std::lock_guard guard(lock);
    clientAddress = platform::peerAddressText(this->socket.get());
}

RequestThread::~RequestThread() = default;

void RequestThread::stop()
{
    stopRequested = true;
    // Wakes a wait for the next request; an answer goes on being sent.
    platform::shutdownReceiving(socket.get());
}

void RequestThread::closeNow()
{
    stopRequested = true;
    platform::shutdownBoth(socket.get());
}

std::pair<std::string, std::string> RequestThread::activityEntry() const
{
    std::lock_guard guard(lock);
    return {clientAddress, lastRequest};
}

bool RequestThread::serveAvailable()
{
    stream.expectArrivals();
    while (stream.hasBuffered() || stream.takeArrived()) {
        if (!request)
            request = std::make_unique<Request>();
        if (!serveRequest()) {
            request.reset();
            return false;
        }
    }
    stream.markIdle();
    return true;
}

bool RequestThread::serveRequest()
{
    // A stop wakes the wait for a request: what had arrived is still read, a
    // request that arrived whole is still answered, and that answer is the last.
    request->parse(stream, server->receiveLimits());
    stream.markBusy();
    {
        std::lock_guard guard(lock);
        lastRequest = request->path;
    }
    // A failed or timed-out receive: nobody to answer.
    if (request->status == -1 || (stopRequested && request->status != 0))
        return false;

    Response response(&stream);
    response.headers["P3P"] = "CP=\"NON NID TAIa OUR NOR NAV INT STA\"";
    SessionBinding binding = attachSession(*server, *request, response);
    sessionHeld = std::move(binding.session);
    session = sessionHeld.get();
    cookieName = std::move(binding.cookieName);

    // Only the exact word "close" counts, as the browsers we serve send it.
    const bool clientCloses = hasHeader(*request, "Connection", "close");
    if (clientCloses || request->status == 500 || request->status == 401)
        response.headers["Connection"] = "close";

    if (request->status != 0) {
        response.status = request->status;
        response.reason = request->reason;
        response.sendHead();
    } else if (hasNonEmptyHeader(*request, "If-Modified-Since")) {
        // Everything served is either embedded or served fresh: any
        // conditional request may use what the browser holds.
        response.status = 304;
        response.reason = "Not Modified";
        response.sendHead();
    } else {
        handle(response);
    }
    server->publishActivity();

    // After a failed send (a stopped connection, a vanished peer) nobody
    // hears further answers: reading on would only hold the connection.
    return !(clientCloses || request->status != 0 || stream.hasFailedToSend() || stopRequested);
}

} // namespace http
