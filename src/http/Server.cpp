#include "http/Server.h"

#include "http/Admission.h"
#include "http/RequestThread.h"
#include "http/StateStore.h"
#include "platform/Connect.h"
#include "platform/DescriptorLimit.h"
#include "platform/Socket.h"

#include <algorithm>
#include <array>
#include <cerrno>

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
    for (const auto& connection : requestThreads)
        connection->stop();
    return true;
}

int Server::run()
{
    // Without its wake-up descriptor the loop could never be stopped.
    if (!stopEvent.isValid() || !dispatcher.start())
        return finish(-1);
    // Idle connections are cheap: thousands of them need more descriptors
    // than a process is given at first.
    descriptorLimit = platform::raiseDescriptorLimit();
    for (;;) {
        restarting = false;
        platform::UniqueFd listening = platform::listenTcp(listenAddress.load(), listenPort.load());
        if (!listening) {
            listenError = errno != 0 ? errno : EINVAL;
            return finish(-1);
        }
        listenError = 0;
        boundPort = platform::boundPort(listening.get());
        onListening.invoke(0);
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
    // connection may outlive it. An answer that is still being written after
    // the grace is cut off: a client that does not read holds up nobody.
    if (!allRequestsDone.waitFor(answerGrace.load())) {
        std::lock_guard guard(threadsLock);
        for (const auto& connection : requestThreads)
            connection->closeNow();
    }
    allRequestsDone.wait();
    dispatcher.finish();
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
    const std::shared_ptr<const AccessRules> rules = access();
    if (rules->filterIPs && !isAddressAllowed(peer, rules->allowedIPs, rules->blockedIPs))
        return;
    if (!makeRoom(platform::peerAddress(socket.get()))) {
        // Told plainly rather than left hanging; a full buffer just closes.
        platform::sendWithoutWaiting(socket.get(), "HTTP/1.1 503 Service Unavailable\r\n"
                                                   "Connection: close\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    // Answers are written head and body at once; never hold them back.
    platform::setNoDelay(socket.get());
    platform::setSendTimeout(socket.get(), std::chrono::seconds(std::max(sendStallLimit.load(), 1)));
    acceptConnection(std::move(socket));
}

bool Server::makeRoom(std::uint32_t peer)
{
    // Descriptors are kept for the busy connections (and a file each), and
    // for the host's own use.
    const std::size_t reserve = maxConnections.load() * 2 + 256;
    const std::size_t openLimit = std::min(maxOpenConnections.load(),
                                           descriptorLimit > reserve * 2 ? descriptorLimit - reserve
                                                                         : descriptorLimit / 2);
    std::lock_guard guard(threadsLock);
    // Stopped connections are on their way out and take no new request.
    std::size_t live = 0;
    std::size_t busy = 0;
    std::size_t ofPeer = 0;
    // The connection idle longest, of all and of this peer, with its time
    // (read once: it may turn busy meanwhile).
    using Idle = std::pair<RequestThread*, std::chrono::steady_clock::time_point>;
    Idle longestIdle{};
    Idle peerLongestIdle{};
    auto keepOlder = [](Idle& known, RequestThread* connection, std::chrono::steady_clock::time_point since) {
        if (!known.first || since < known.second)
            known = {connection, since};
    };
    for (const auto& connection : requestThreads) {
        if (connection->stopRequested)
            continue;
        ++live;
        const bool samePeer = connection->peer() == peer;
        ofPeer += samePeer ? 1 : 0;
        const auto since = connection->idleSince();
        if (!since) {
            ++busy;
            continue;
        }
        keepOlder(longestIdle, connection.get(), *since);
        if (samePeer)
            keepOlder(peerLongestIdle, connection.get(), *since);
    }
    if (busy >= maxConnections.load())
        return false;
    RequestThread* leaving = nullptr;
    if (ofPeer >= maxConnectionsPerPeer.load())
        leaving = peerLongestIdle.first;
    else if (live >= openLimit)
        leaving = longestIdle.first;
    else
        return true;
    if (!leaving)
        return false;
    leaving->closeNow();
    return true;
}

bool Server::startConnection(std::unique_ptr<RequestThread> connection)
{
    RequestThread* const started = connection.get();
    {
        std::lock_guard guard(threadsLock);
        started->serial = ++lastSerial;
        requestThreads.push_back(std::move(connection));
        ++unfinished;
        allRequestsDone.reset();
        // A stop that came while this peer was being accepted has already
        // walked the list: stop this one too, or the stop would wait on it.
        if (stopEvent.isSignalled())
            started->stop();
    }
    publishActivity();
    // Once watched it may be served, end and be destroyed at any moment: not
    // touched again unless it could not be watched.
    if (dispatcher.watch(*started))
        return true;
    // Never to finish: forget it here, or allRequestsDone would never be set.
    std::unique_ptr<RequestThread> unstarted = removeConnection(started->serial);
    unstarted.reset();
    publishActivity();
    connectionFinished();
    return false;
}

void Server::connectionEnded(RequestThread& ended)
{
    std::unique_ptr<RequestThread> connection = removeConnection(ended.serial);
    // Destroyed outside the list lock: its destructor closes the socket.
    connection.reset();
    publishActivity();
    connectionFinished();
}

std::chrono::milliseconds Server::endIdleConnections()
{
    const auto now = std::chrono::steady_clock::now();
    const ReceiveLimits limits = receiveLimits();
    const auto idleLimit = std::chrono::duration_cast<std::chrono::steady_clock::duration>(limits.idle);
    const auto requestLimit = limits.request;
    const auto stallLimit = std::chrono::seconds(std::max(sendStallLimit.load(), 1));
    auto next = std::chrono::steady_clock::duration(std::chrono::seconds(1));
    std::lock_guard guard(threadsLock);
    for (const auto& connection : requestThreads) {
        if (connection->stopRequested)
            continue;
        // A request whose head is still on its way, idle, or stalled with
        // an answer waiting for room (as a waiting send would have failed
        // after the stall limit).
        auto since = connection->partialSince();
        auto limit = std::chrono::duration_cast<std::chrono::steady_clock::duration>(requestLimit);
        if (!since) {
            since = connection->idleSince();
            limit = idleLimit;
        }
        if (!since) {
            since = connection->unsentSince();
            limit = stallLimit;
        }
        if (!since)
            continue;
        const auto due = *since + limit - now;
        if (due <= due.zero())
            connection->closeNow();  // its serving thread ends it
        else
            next = std::min(next, due);
    }
    return std::chrono::ceil<std::chrono::milliseconds>(next);
}

std::unique_ptr<RequestThread> Server::removeConnection(std::uint64_t serial)
{
    std::lock_guard guard(threadsLock);
    auto found = std::find_if(requestThreads.begin(), requestThreads.end(),
                              [&](const auto& connection) { return connection->serial == serial; });
    if (found == requestThreads.end())
        return nullptr;
    std::unique_ptr<RequestThread> connection = std::move(*found);
    requestThreads.erase(found);
    return connection;
}

void Server::connectionFinished()
{
    // Counted down and signalled under the lock that startConnection resets
    // it under, so a connection accepted meanwhile is never missed. A
    // connection counts until here, not until it is unlisted: once the event
    // is set the owner may destroy the server, so no other finishing
    // connection may still be on its way through connectionEnded.
    std::lock_guard guard(threadsLock);
    if (--unfinished == 0)
        allRequestsDone.set();
}

std::size_t Server::connectionCount() const
{
    std::lock_guard guard(threadsLock);
    return requestThreads.size();
}

std::size_t Server::idleConnectionCount() const
{
    std::lock_guard guard(threadsLock);
    return static_cast<std::size_t>(std::count_if(requestThreads.begin(), requestThreads.end(),
                                                  [](const auto& connection) { return connection->idleSince(); }));
}

bool Server::opensWithUrlToken(const std::string&)
{
    return false;
}

std::shared_ptr<const AccessRules> Server::access() const
{
    std::lock_guard guard(accessLock);
    return accessRules;
}

void Server::setAccess(AccessRules rules)
{
    auto replacement = std::make_shared<const AccessRules>(std::move(rules));
    std::lock_guard guard(accessLock);
    accessRules = std::move(replacement);
}

bool Server::isAllowed(std::string_view addressText) const
{
    const std::shared_ptr<const AccessRules> rules = access();
    return isAddressAllowed(addressText, rules->allowedIPs, rules->blockedIPs);
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
        for (const auto& connection : requestThreads)
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
