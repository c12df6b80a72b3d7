#include "http/RequestThread.h"

#include "message/Response.h"
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

/// The short answer to a refused request; the connection ends after it.
void sendRefusal(Response& response, int status)
{
    response.status = status;
    response.reason = status == 421 ? "Misdirected Request" : "Forbidden";
    response.headers["Content-Type"] = "text/plain; charset=UTF-8";
    response.headers["X-Content-Type-Options"] = "nosniff";
    response.headers["Connection"] = "close";
    response.setBody(response.reason);
    response.send();
}

} // namespace

RequestThread::RequestThread(platform::UniqueFd socket, Server& server)
    // `stream` is made from the parameter, before the member takes it over.
    : server(&server), stream(socket.get(), SocketStream::FullBuffer::keep), socket(std::move(socket)),
      peerAddress(platform::peerAddress(this->socket.get()))
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

RequestThread::Served RequestThread::serveAvailable()
{
    stream.expectArrivals();
    if (ongoing)
        return serveOngoing();
    return serveOn();
}

LaterAnswering::Wake RequestThread::keepAnswering(std::unique_ptr<OngoingAnswer> answer)
{
    ongoing = std::move(answer);
    answeringOn = true;
    return [server = server, serial = serial()] { server->wake(serial); };
}

RequestThread::Served RequestThread::serveOngoing()
{
    // Nothing more is read: what a client sends on such a connection is
    // dropped, its end ends it. A stop ends it too (its receiving side
    // shut, which reports input).
    while (stream.takeArrived()) {
        if (stream.hasMetEnd())
            return Served::ended;
        stream.dropReceived();
    }
    return sendOngoing();
}

RequestThread::Served RequestThread::sendDue()
{
    return ongoing ? sendOngoing() : serveAvailable();
}

RequestThread::Served RequestThread::sendOngoing()
{
    if (stopRequested)
        return Served::ended;
    const std::string bytes = ongoing->due();
    if (!bytes.empty())
        stream.send(bytes);
    if (stream.hasFailedToSend())
        return Served::ended;
    return stream.hasUnsent() ? Served::sending : Served::idle;
}

RequestThread::Served RequestThread::serveOn()
{
    while (stream.hasBuffered() || stream.takeArrived()) {
        // A head still on its way waits in the readiness set as an idle
        // connection does, holding no thread; the idle sweep cuts it off
        // after the request limit.
        // Read until the socket is empty: an end that came with the last
        // bytes is reported no more.
        while (!stream.holdsWholeHead(Request::headLimit)) {
            stream.expectArrivals();
            if (!stream.takeArrived())
                break;
        }
        if (!stream.holdsWholeHead(Request::headLimit)) {
            stream.markPartial();
            break;
        }
        stream.clearPartial();
        if (!request)
            request = std::make_unique<Request>();
        const Served served = serveRequest();
        // Waiting for its answer, the connection may be resumed (and ended)
        // by another thread already: nothing of it is touched again here.
        if (served == Served::waiting)
            return served;
        if (served == Served::ended)
            request.reset();
        if (served != Served::idle || ongoing) {
            // An answer that goes on counts as idle from its start on.
            if (ongoing && served != Served::ended)
                stream.markIdle();
            return served;
        }
    }
    stream.markIdle();
    return Served::idle;
}

void RequestThread::answerLater(const platform::Message& message, Finish finish)
{
    if (!later)
        later = std::make_unique<LaterAnswer>(serial());
    later->message = message;
    later->finish = std::move(finish);
    later->asked = true;
}

RequestThread::Served RequestThread::resumeAnswer()
{
    const Served served = finishLater(later->send.result());
    if (served == Served::ended)
        request.reset();
    if (served != Served::idle)
        return served;
    return serveOn();
}

RequestThread::Served RequestThread::resumeSending()
{
    const SocketStream::Flush flushed = stream.sendUnsent();
    if (flushed == SocketStream::Flush::blocked)
        return Served::sending;
    if (ongoing) {
        if (flushed == SocketStream::Flush::failed)
            return Served::ended;
        stream.expectArrivals();
        return serveOngoing();
    }
    const Served served = afterSending(closesAfterSending || flushed == SocketStream::Flush::failed);
    if (served == Served::ended) {
        request.reset();
        return served;
    }
    return serveOn();
}

RequestThread::Served RequestThread::serveRequest()
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
        return Served::ended;

    Response response(&stream);
    response.headers["P3P"] = "CP=\"NON NID TAIa OUR NOR NAV INT STA\"";
    // A refused request gets no session and reaches no route.
    if (request->status == 0) {
        if (const int refused = refusal()) {
            sendRefusal(response, refused);
            return answered(true);
        }
    }
    // The client's address is set at construction and never changes; its
    // port, new with each connection, is no part of who is asking.
    const std::string_view host = std::string_view(clientAddress).substr(0, clientAddress.rfind(':'));
    // One snapshot of the rules judges the whole request.
    const std::shared_ptr<const AccessRules> rules = server->access();
    SessionBinding binding =
        attachSession({*rules, server->sessions(), server->throttle(), server->opensWithUrlToken(request->path)},
                      *request, response, host);
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
    } else if (hasNonEmptyHeader(*request, "If-Modified-Since") && !hasNonEmptyHeader(*request, "If-None-Match")) {
        // Everything served is either embedded or served fresh: any
        // conditional request may use what the browser holds. A request that
        // names entity tags too is the route's to judge (a tag it gave
        // decides, the date does not): browsers send both.
        response.status = 304;
        response.reason = "Not Modified";
        response.sendHead();
    } else {
        handle(response);
        if (later && later->asked)
            return sendForLater(response, clientCloses);
    }
    return answered(clientCloses);
}

RequestThread::Served RequestThread::sendForLater(Response& response, bool clientCloses)
{
    later->asked = false;
    later->clientCloses = clientCloses;
    later->response.emplace(std::move(response));
    // Once sent, the answer may bring the connection back to another
    // serving thread at any moment: nothing here touches it after that.
    if (server->sendForLater(later->send, later->message))
        return Served::waiting;
    // No window to answer: 0, as a send to it would answer.
    return finishLater(0);
}

RequestThread::Served RequestThread::finishLater(platform::LRESULT result)
{
    Finish finish = std::move(later->finish);
    finish(result, *later->response);
    later->response.reset();
    return answered(later->clientCloses);
}

RequestThread::Served RequestThread::answered(bool clientCloses)
{
    server->publishActivity();
    // Even a stopped connection finishes the answer it has begun.
    if (stream.hasUnsent()) {
        closesAfterSending = clientCloses;
        return Served::sending;
    }
    return afterSending(clientCloses);
}

RequestThread::Served RequestThread::afterSending(bool clientCloses) const
{
    // After a failed send (a stopped connection, a vanished peer) nobody
    // hears further answers: reading on would only hold the connection.
    const bool ends = clientCloses || request->status != 0 || stream.hasFailedToSend() || stopRequested;
    return ends ? Served::ended : Served::idle;
}

} // namespace http
