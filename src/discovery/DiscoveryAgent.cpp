#include "discovery/DiscoveryAgent.h"

#include "discovery/PDPDiscovery.h"
#include "platform/Datagram.h"
#include "platform/Ticks.h"

#include <algorithm>
#include <chrono>

namespace discovery {

namespace {

/// Datagrams taken per wake-up at most, so a flood cannot keep the thread
/// from its sends and periodic duties.
constexpr int receiveBatch = 64;

std::uint32_t since(std::uint32_t now, std::uint32_t then)
{
    return now - then;
}

} // namespace

DiscoveryAgent::DiscoveryAgent(std::function<std::uint16_t()> announcedPort)
    : announcedPort(std::move(announcedPort)), computerName(platform::computerName())
{
    if (auto drawn = platform::newGuid())
        id = *drawn;
}

DiscoveryAgent::~DiscoveryAgent()
{
    stop();
}

std::vector<PeerEntry> DiscoveryAgent::peers() const
{
    std::lock_guard guard(peersLock);
    return table.entries();
}

bool DiscoveryAgent::stop()
{
    if (std::exchange(stopped, true))
        return true;
    alive = PDPDiscovery::leaving;
    bool leavingQueued = false;
    {
        std::lock_guard guard(sendQueueLock);
        // A thread that has ended (or never ran) sends nothing: waiting for
        // the leaving announcement would then never end.
        if (running) {
            auto packet = std::make_unique<PDPDiscovery>();
            packet->instanceId = id;
            packet->name = computerName;
            packet->state = PDPDiscovery::leaving;
            packet->port = announcedPort();
            sendQueue.clear();  // the leaving announcement supersedes them
            sendQueue.push_back(std::move(packet));
            sendIdle.reset();
            leavingQueued = true;
        } else {
            stopRequested = true;
        }
    }
    if (leavingQueued && !sendsFailing) {
        wake.signal();
        // Bounded: with no route for the broadcast it never goes out.
        sendIdle.waitFor(std::chrono::milliseconds(leavingWait));
    }
    stopRequested = true;
    wake.signal();
    if (auto handle = threadHandle())
        handle->wait();
    return true;
}

int DiscoveryAgent::run()
{
    {
        std::lock_guard guard(sendQueueLock);
        if (stopRequested)
            return 0;
        running = true;
    }
    int result = 0;
    while (!stopRequested) {
        restartRequested = false;
        platform::UniqueFd socket = platform::openBroadcastSocket(discoveryPort);
        if (!socket) {
            result = -1;
            break;
        }
        serve(socket.get());
        if (!restartRequested)
            break;
    }
    {
        std::lock_guard guard(sendQueueLock);
        running = false;
        sendQueue.clear();
        sendIdle.set();
    }
    return result;
}

void DiscoveryAgent::serve(int socket)
{
    while (!stopRequested && !restartRequested) {
        const bool pending = prepareSend();
        const std::uint32_t now = platform::tickCount();
        const bool mayWrite = pending && !sendHeld(now);
        platform::Readiness ready = platform::waitDatagramSocket(socket, mayWrite, wake.descriptor(),
                                                                 std::chrono::milliseconds(nextWait(pending)));
        if (ready.woken)
            wake.reset();
        if (ready.readable)
            receive(socket);
        if (ready.writable && mayWrite)
            send(socket);

        const std::uint32_t after = platform::tickCount();
        if (!lastAnnounce || since(after, *lastAnnounce) >= announcePeriod)
            announce(alive.load());
        if (!lastExpiry || since(after, *lastExpiry) >= expiryPeriod)
            expire();
    }
}

bool DiscoveryAgent::prepareSend()
{
    std::lock_guard guard(sendQueueLock);
    if (sendFill == 0 && !sendQueue.empty()) {
        std::size_t length = sendBuffer.size();
        sendQueue.front()->serialize(sendBuffer.data(), length);
        sendFill = length;
        sendQueue.pop_front();
    }
    // Set under the queue lock, so a packet queued meanwhile (whose queuing
    // reset the event) is never reported as sent.
    if (sendFill == 0 && sendQueue.empty())
        sendIdle.set();
    return sendFill != 0;
}

bool DiscoveryAgent::sendHeld(std::uint32_t now) const
{
    return heldSince && since(now, *heldSince) < announcePeriod;
}

std::uint32_t DiscoveryAgent::nextWait(bool sendPending) const
{
    const std::uint32_t now = platform::tickCount();
    if (!lastAnnounce || !lastExpiry)
        return 0;
    const std::uint32_t announced = since(now, *lastAnnounce);
    const std::uint32_t expired = since(now, *lastExpiry);
    if (announced >= announcePeriod || expired >= expiryPeriod)
        return 0;
    std::uint32_t wait = std::min(announcePeriod - announced, expiryPeriod - expired);
    if (sendPending && sendHeld(now))
        wait = std::min(wait, announcePeriod - since(now, *heldSince));
    return wait;
}

void DiscoveryAgent::receive(int socket)
{
    for (int i = 0; i < receiveBatch; ++i) {
        char buffer[255];
        platform::Ipv4Endpoint sender;
        long got = platform::receiveDatagram(socket, buffer, sizeof buffer, sender);
        if (got == -1 || got == -2)
            return;  // nothing more waiting, or a failure the next pass retries
        if (got < 0)
            continue;  // too long for any run of announcements: dropped
        // Each datagram on its own: a short or foreign one never shifts the next.
        std::vector<PDPDiscovery> packets = decodeAnnouncements(
            {reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(got)});
        const std::uint32_t now = platform::tickCount();
        std::lock_guard guard(peersLock);
        for (PDPDiscovery& packet : packets) {
            packet.sender = sender;
            packet.receivedAt = now;
            table.handle(packet, id);
            listeners.invoke(reinterpret_cast<threading::CallbackArgument>(&table));
        }
    }
}

void DiscoveryAgent::send(int socket)
{
    const std::string_view bytes(reinterpret_cast<const char*>(sendBuffer.data()), sendFill);
    switch (platform::sendDatagram(socket, bytes, {platform::broadcastAddress(), discoveryPort})) {
    case platform::SendResult::sent:
        sendFill = 0;
        heldSince.reset();
        sendsFailing = false;
        break;
    case platform::SendResult::wouldBlock:
        break;
    case platform::SendResult::failed:
        // Kept for the new socket, which sends it once the back-off is over.
        ++failedSends;
        sendsFailing = true;
        heldSince = platform::tickCount();
        restartRequested = true;
        // A leaving announcement is not kept: stop() is waiting for it, and
        // a network that just refused it will not take it a moment later.
        if (alive.load() == PDPDiscovery::leaving)
            sendFill = 0;
        break;
    }
}

void DiscoveryAgent::announce(std::uint32_t state)
{
    auto packet = std::make_unique<PDPDiscovery>();
    packet->instanceId = id;
    packet->name = computerName;
    packet->state = state;
    packet->port = announcedPort();
    {
        std::lock_guard guard(sendQueueLock);
        // Only the newest announcement matters; while sends are held back the
        // queue would otherwise grow by one every period.
        sendQueue.clear();
        sendQueue.push_back(std::move(packet));
        sendIdle.reset();
    }
    lastAnnounce = platform::tickCount();
}

void DiscoveryAgent::expire()
{
    {
        std::lock_guard guard(peersLock);
        table.expire(platform::tickCount());
    }
    lastExpiry = platform::tickCount();
}

} // namespace discovery
