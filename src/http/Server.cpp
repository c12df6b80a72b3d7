#include "http/Server.h"

#include "http/DocumentRoot.h"

#include "http/Admission.h"
#include "http/RequestThread.h"
#include "http/StateStore.h"
#include "platform/Connect.h"
#include "platform/DescriptorLimit.h"
#include "platform/Socket.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>

namespace http {

using namespace std::chrono_literals;

Server::Server(std::uint32_t listenAddress, std::uint16_t listenPort) : wanted{listenAddress, listenPort}
{
}

Server::~Server()
{
    stop();
    closeOpenedRoot(documentRoot);
}

bool Server::start()
{
    std::lock_guard guard(stateLock);
    if (quitting || (loopRuns && runWanted))
        return false;
    runWanted = true;
    runningAsked(true);
    return askToRun();
}

bool Server::restart(Endpoint endpoint)
{
    std::lock_guard guard(stateLock);
    if (quitting)
        return false;
    wanted = endpoint;
    runWanted = true;
    runningAsked(true);
    return askToRun();
}

bool Server::askToRun()
{
    ++asked;
    if (loopRuns) {
        // The loop looks at what is wanted once woken: it closes its socket,
        // and the connections of that socket end by themselves.
        stopEvent.signal();
        stopConnections();
        return true;
    }
    // A loop that has just ended may still be on its way out of its thread,
    // which takes no lock any more: it is gone in a moment.
    while (threadId() != 0)
        std::this_thread::yield();
    loopRuns = threading::Thread::start();
    if (!loopRuns)
        runWanted = false;
    return loopRuns;
}

bool Server::stop()
{
    {
        std::lock_guard guard(stateLock);
        runWanted = false;
        runningAsked(false);
        ++asked;
        stopEvent.signal();
    }
    stopConnections();
    return true;
}

void Server::quit()
{
    {
        std::lock_guard guard(stateLock);
        quitting = true;
    }
    stop();
}

Endpoint Server::endpoint() const
{
    std::lock_guard guard(stateLock);
    return wanted;
}

void Server::stopConnections()
{
    std::lock_guard guard(connectionsLock);
    for (const auto& connection : connections)
        connection->stop();
}

std::optional<Endpoint> Server::nextRun(std::uint64_t& seen)
{
    std::lock_guard guard(stateLock);
    // Every request to the loop signals the event under this lock: one
    // that comes after this point signals it again.
    stopEvent.reset();
    seen = asked;
    if (!runWanted)
        return std::nullopt;
    return wanted;
}

void Server::giveUp(std::uint64_t seen)
{
    // Unless something new was asked meanwhile, the listener cannot run as
    // asked and ends.
    std::lock_guard guard(stateLock);
    if (asked == seen)
        runWanted = false;
}

bool Server::mayEnd()
{
    std::lock_guard guard(stateLock);
    if (runWanted)
        return false;
    loopRuns = false;
    return true;
}

int Server::run()
{
    {
        // Run directly rather than through `start`: running is what is asked.
        std::lock_guard guard(stateLock);
        if (!loopRuns)
            loopRuns = runWanted = true;
    }
    int result = 0;
    // Idle connections are cheap: thousands of them need more descriptors
    // than a process is given at first.
    descriptorLimit = platform::raiseDescriptorLimit();
    // Without its wake-up descriptor the loop could never be stopped.
    bool serving = stopEvent.isValid() && dispatcher.start();
    for (;;) {
        std::uint64_t seen = 0;
        const std::optional<Endpoint> next = serving ? nextRun(seen) : std::nullopt;
        if (next) {
            result = listenOn(*next) ? 0 : -1;
            if (result != 0)
                giveUp(seen);
            continue;
        }
        if (!serving)
            result = -1;
        finish();
        if (mayEnd())
            return result;
        // Started again while the connections ended.
        serving = dispatcher.start();
    }
}

bool Server::listenOn(Endpoint endpoint)
{
    platform::UniqueFd listening = platform::listenTcp(endpoint.address, endpoint.port);
    if (!listening) {
        listenError = errno != 0 ? errno : EINVAL;
        return false;
    }
    listenError = 0;
    boundPort = platform::boundPort(listening.get());
    onListening.invoke(0);
    for (;;) {
        const std::array<int, 2> waitOn{stopEvent.descriptor(), listening.get()};
        // The stop event comes first, so a stop wins over a waiting peer.
        const int ready = platform::waitReadable(waitOn, -1ms);
        if (ready != 1)
            break;
        acceptOne(listening.get());
    }
    boundPort = 0;
    return true;
}

void Server::finish()
{
    // Whoever waits for this thread may destroy the server next, so no
    // connection may outlive it. An answer that is still being written after
    // the grace is cut off: a client that does not read holds up nobody.
    if (!allRequestsDone.waitFor(answerGrace.load())) {
        std::lock_guard guard(connectionsLock);
        for (const auto& connection : connections)
            connection->closeNow();
    }
    allRequestsDone.wait();
    dispatcher.finish();
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
    std::lock_guard guard(connectionsLock);
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
    for (const auto& connection : connections) {
        if (connection->isStopped())
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
        std::lock_guard guard(connectionsLock);
        started->assignSerial(++lastSerial);
        connections.push_back(std::move(connection));
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
    std::unique_ptr<RequestThread> unstarted = removeConnection(started->serial());
    unstarted.reset();
    publishActivity();
    connectionFinished();
    return false;
}

void Server::connectionEnded(Connection& ended)
{
    std::unique_ptr<RequestThread> connection = removeConnection(ended.serial());
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
    std::lock_guard guard(connectionsLock);
    for (const auto& connection : connections) {
        if (connection->isStopped())
            continue;
        // A request whose head is still on its way, idle, or stalled with
        // an answer waiting for room (as a waiting send would have failed
        // after the stall limit).
        auto since = connection->partialSince();
        auto limit = std::chrono::duration_cast<std::chrono::steady_clock::duration>(requestLimit);
        if (!since && !connection->isAnsweringOn()) {
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
    std::lock_guard guard(connectionsLock);
    auto found = std::find_if(connections.begin(), connections.end(),
                              [&](const auto& connection) { return connection->serial() == serial; });
    if (found == connections.end())
        return nullptr;
    std::unique_ptr<RequestThread> connection = std::move(*found);
    connections.erase(found);
    return connection;
}

void Server::connectionFinished()
{
    // Counted down and signalled under the lock that startConnection resets it
    // under, so a connection accepted meanwhile is never missed. A connection
    // counts until here, not until it is unlisted: once the event is set the
    // owner may destroy the server, so no other finishing connection may still
    // be on its way through connectionEnded.
    std::lock_guard guard(connectionsLock);
    if (--unfinished == 0)
        allRequestsDone.set();
}

std::size_t Server::connectionCount() const
{
    std::lock_guard guard(connectionsLock);
    return connections.size();
}

std::size_t Server::idleConnectionCount() const
{
    std::lock_guard guard(connectionsLock);
    return static_cast<std::size_t>(std::count_if(connections.begin(), connections.end(),
                                                  [](const auto& connection) { return connection->idleSince(); }));
}

bool Server::opensWithUrlToken(const std::string&)
{
    return false;
}

bool Server::sendForLater(platform::DeferredSend& send, const platform::Message& message)
{
    return dispatcher.sendForLater(send, message);
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
    ActivityList list = activityList();
    activity.invoke(reinterpret_cast<threading::CallbackArgument>(&list));
}

ActivityList Server::activityList() const
{
    ActivityList list;
    std::lock_guard guard(connectionsLock);
    list.reserve(connections.size());
    for (const auto& connection : connections)
        list.push_back(connection->activityEntry());
    return list;
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
