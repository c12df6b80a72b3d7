#include "http/Server.h"

#include "http/Admission.h"
#include "http/RequestThread.h"
#include "http/StateStore.h"
#include "platform/Socket.h"

#include <algorithm>
#include <array>

namespace http {

using namespace std::chrono_literals;

Server::Server(std::uint32_t listenAddress, std::uint16_t listenPort)
    : listenAddress(listenAddress), listenPort(listenPort)
{
}

Server::~Server()
{
    stop();
}

bool Server::stop()
{
    stopEvent.signal();
    std::lock_guard guard(threadsLock);
    // Called directly, not through the virtual slot: a connection is listed
    // by its base constructor while the listener thread may still be running
    // the derived constructor, which sets the object's dispatch table.
    for (RequestThread* connection : requestThreads)
        connection->RequestThread::stop();
    return true;
}

int Server::run()
{
    // Without its wake-up descriptor the loop could never be stopped.
    if (!stopEvent.isValid())
        return finish(-1);
    for (;;) {
        restarting = false;
        platform::UniqueFd listening = platform::listenTcp(listenAddress.load(), listenPort.load());
        if (!listening)
            return finish(-1);
        boundPort = platform::boundPort(listening.get());
        while (!stopping) {
            const std::array<int, 2> waitOn{stopEvent.descriptor(), listening.get()};
            // The stop event comes first, so a stop wins over a waiting peer.
            int ready = platform::waitReadable(waitOn, -1ms);
            if (ready == 0) {
                stopping = true;
                stopEvent.reset();
            } else if (ready == 1) {
                acceptOne(listening.get());
            } else {
                stopping = true;
            }
        }
        boundPort = 0;
        listening.reset();
        if (!restarting)
            return finish(0);
        // Connections of the old socket were shut down by stop() and end by
        // themselves; the new socket takes the current address and port.
        stopping = false;
    }
}

int Server::finish(int result)
{
    // Whoever waits for this thread may destroy the server next, so no
    // connection may outlive it.
    allRequestsDone.wait();
    // A second stop() during that wait is for this run; left signalled it
    // would end the next run at once.
    stopEvent.reset();
    stopping = false;
    return result;
}

void Server::acceptOne(int listening)
{
    std::string peer;
    bool exhausted = false;
    platform::UniqueFd socket = platform::acceptSocket(listening, peer, &exhausted);
    if (!socket) {
        // Out of descriptors the peer stays queued and the listener stays
        // readable: pause instead of spinning, still heeding a stop.
        if (exhausted) {
            const int stopDescriptor = stopEvent.descriptor();
            platform::waitReadable({&stopDescriptor, 1}, 100ms);
        }
        return;
    }
    // Refused before a single byte is read; closing the socket is the answer.
    if (filterIPs && !isAllowed(peer))
        return;
    // Answers are written head and body at once; never hold them back.
    platform::setNoDelay(socket.get());
    acceptConnection(std::move(socket));
}

bool Server::startConnection(std::unique_ptr<RequestThread> connection)
{
    connection->onFinished.add(&requestDone);
    if (connection->start()) {
        // From now on the list owns it; requestThreadDone deletes it.
        connection.release();
        return true;
    }
    // Listed by its constructor but never to finish: forget it here, or
    // allRequestsDone would never be signalled.
    removeConnection(connection.get());
    connection.reset();
    publishActivity();
    connectionFinished();
    return false;
}

std::intptr_t Server::requestThreadDone(threading::CallbackArgument thread)
{
    std::unique_ptr<RequestThread> connection(reinterpret_cast<RequestThread*>(thread));
    removeConnection(connection.get());
    connection.reset();
    publishActivity();
    connectionFinished();
    return 0;
}

void Server::addConnection(RequestThread* connection)
{
    std::lock_guard guard(threadsLock);
    requestThreads.push_back(connection);
    ++unfinished;
    allRequestsDone.reset();
    // A stop that came while this peer was being accepted has already walked
    // the list: shut this one down too, or the stop would wait on it.
    if (stopEvent.isSignalled())
        connection->stop();
}

bool Server::removeConnection(RequestThread* connection)
{
    std::lock_guard guard(threadsLock);
    auto found = std::find(requestThreads.begin(), requestThreads.end(), connection);
    if (found == requestThreads.end())
        return false;
    requestThreads.erase(found);
    return true;
}

void Server::connectionFinished()
{
    // Counted down and signalled under the lock that addConnection resets it
    // under, so a connection accepted meanwhile is never missed. A connection
    // counts until here, not until it is unlisted: once the event is set the
    // owner may destroy the server, so no other finishing connection may still
    // be on its way through requestThreadDone.
    std::lock_guard guard(threadsLock);
    if (--unfinished == 0)
        allRequestsDone.set();
}

std::size_t Server::connectionCount() const
{
    std::lock_guard guard(threadsLock);
    return requestThreads.size();
}

void Server::setAllowedIPs(std::string_view text)
{
    allowedIPs = splitText(text, " \t\r\n\v\f");
}

void Server::setBlockedIPs(std::string_view text)
{
    blockedIPs = splitText(text, " \t\r\n\v\f");
}

bool Server::isAllowed(std::string_view addressText) const
{
    return isAddressAllowed(addressText, allowedIPs, blockedIPs);
}

void Server::publishActivity()
{
    // Every request publishes; with nobody listening, copying every
    // connection's entry under the list lock would be contention for nothing.
    if (activity.size() == 0)
        return;
    ActivityList list;
    {
        std::lock_guard guard(threadsLock);
        list.reserve(requestThreads.size());
        for (RequestThread* connection : requestThreads)
            list.push_back(connection->activityEntry());
    }
    activity.invoke(reinterpret_cast<threading::CallbackArgument>(&list));
}

ReceiveLimits Server::receiveLimits() const
{
    // A year stands for "no limit": far enough, and no overflow of the clock.
    auto limit = [](int seconds) -> std::chrono::milliseconds {
        if (seconds <= 0)
            return std::chrono::hours(24 * 365);
        return std::chrono::seconds(seconds);
    };
    ReceiveLimits limits;
    limits.idle = limit(idleTimeout.load());
    limits.request = limit(requestTimeout.load());
    return limits;
}

} // namespace http
