// Discovery agents on real sockets, in the test's own network namespace
// (other test programs' agents may be heard too: every check looks for
// particular ids). Waits poll a condition against a generous deadline.
#include "discovery/DiscoveryAgent.h"
#include "platform/Datagram.h"
#include "platform/Ticks.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <optional>
#include <sched.h>
#include <sys/socket.h>
#include <thread>

using discovery::DiscoveryAgent;
using discovery::PDPDiscovery;
using discovery::PeerEntry;
using namespace std::chrono_literals;

namespace {

using testing_support::waitUntil;

std::optional<PeerEntry> entryFor(const DiscoveryAgent& agent, const platform::Guid& id)
{
    const std::string key = discovery::instanceKey(id);
    for (const PeerEntry& entry : agent.peers())
        if (entry.key == key)
            return entry;
    return std::nullopt;
}

std::optional<PeerEntry> entryFor(const DiscoveryAgent& agent, const DiscoveryAgent& other)
{
    return entryFor(agent, other.instanceId());
}

/// An agent announcing whatever `port` holds.
struct PortedAgent {
    explicit PortedAgent(std::uint16_t first) : port(first) {}
    std::atomic<std::uint16_t> port;
    DiscoveryAgent agent{[this] { return port.load(); }};
};

/// Sends hand-made datagrams to every agent of the namespace.
class Broadcaster {
public:
    bool send(const std::vector<std::uint8_t>& datagram)
    {
        return platform::sendDatagram(socket.get(), {reinterpret_cast<const char*>(datagram.data()), datagram.size()},
                                      {platform::broadcastAddress(), DiscoveryAgent::discoveryPort}) ==
               platform::SendResult::sent;
    }
    bool announce(const PDPDiscovery& packet) { return send(wire(packet)); }

    static std::vector<std::uint8_t> wire(const PDPDiscovery& packet)
    {
        std::vector<std::uint8_t> bytes(PDPDiscovery::wireSize);
        std::size_t length = bytes.size();
        packet.serialize(bytes.data(), length);
        return bytes;
    }

private:
    platform::UniqueFd socket = platform::openSendingSocket();
};

PDPDiscovery forged(std::uint32_t number, std::string name = "FORGED", std::uint32_t state = 1)
{
    PDPDiscovery packet;
    packet.instanceId.fill(0x5a);
    for (int i = 0; i < 4; ++i)
        packet.instanceId[12 + i] = static_cast<std::uint8_t>(number >> (8 * i));
    packet.name = std::move(name);
    packet.state = state;
    // One entry per address and port: each id serves a port of its own.
    packet.port = static_cast<std::uint16_t>(4242 + number);
    return packet;
}

/// Runs `body` on a thread of its own in a new, empty network namespace (no
/// interface up, no route); threads it starts stay there. False when the
/// namespace could not be made.
bool inEmptyNetwork(const std::function<void()>& body)
{
    bool made = false;
    std::thread([&] {
        made = ::unshare(CLONE_NEWNET) == 0;
        if (made)
            body();
    }).join();
    return made;
}

} // namespace

TEST(DiscoveryAgent, TwoAgentsListEachOtherFollowAPortChangeAndForgetALeaver)
{
    PortedAgent first(1111);
    auto second = std::make_unique<PortedAgent>(2222);
    ASSERT_TRUE(first.agent.start());
    ASSERT_TRUE(second->agent.start());

    // Both announce on start; the first one's may come before the second
    // listens, and then its next, 3 s later, is the one heard (on a busy
    // machine later still).
    ASSERT_TRUE(waitUntil([&] { return entryFor(first.agent, second->agent) && entryFor(second->agent, first.agent); },
                          30s));
    EXPECT_EQ(entryFor(first.agent, second->agent)->port, 2222);
    EXPECT_EQ(entryFor(second->agent, first.agent)->port, 1111);
    EXPECT_EQ(entryFor(first.agent, second->agent)->sender.port, DiscoveryAgent::discoveryPort);
    EXPECT_EQ(entryFor(first.agent, second->agent)->name, platform::computerName());
    EXPECT_FALSE(entryFor(first.agent, first.agent)) << "never lists itself";
    EXPECT_FALSE(entryFor(second->agent, second->agent));

    second->port = 3333;
    EXPECT_TRUE(waitUntil([&] { return entryFor(first.agent, second->agent)->port == 3333; }, 30s))
        << "the next announcement carries the new port";

    // The leaving announcement removes it at once, before an expiry could:
    // that needs the lifetime to pass since the last announcement heard.
    const platform::Guid leaver = second->agent.instanceId();
    const auto lastHeard = std::chrono::steady_clock::now();
    second.reset();
    EXPECT_TRUE(waitUntil([&] { return !entryFor(first.agent, leaver); }, 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - lastHeard, std::chrono::milliseconds(discovery::PeerTable::lifetime))
        << "gone only by expiry";
    first.agent.stop();
}

TEST(DiscoveryAgent, HandMadeDatagramsHostileNamesFloodAndGarbage)
{
    PortedAgent listener(5151);
    ASSERT_TRUE(listener.agent.start());
    Broadcaster broadcaster;

    // Names are kept as the bytes they are; escaping is for whoever writes them.
    // Sent again at every look until heard: the agent's socket is opened by
    // its thread, some time after start().
    const std::string hostile = "\"</script>\\\x01<";
    ASSERT_TRUE(waitUntil([&] {
        broadcaster.announce(forged(1, hostile));
        return entryFor(listener.agent, forged(1).instanceId).has_value();
    }, 30s));
    EXPECT_EQ(entryFor(listener.agent, forged(1).instanceId)->name, hostile);
    EXPECT_EQ(entryFor(listener.agent, forged(1).instanceId)->port, 4243);

    // Garbage of every shape, each followed by nothing: none of it may keep the
    // next good announcement from being heard.
    std::vector<std::vector<std::uint8_t>> garbage = {
        {1}, std::vector<std::uint8_t>(37, 1), std::vector<std::uint8_t>(255, 1),
        std::vector<std::uint8_t>(400, 1), {0, 1, 2, 3}, std::vector<std::uint8_t>(38, 0xff)};
    for (const auto& datagram : garbage)
        ASSERT_TRUE(broadcaster.send(datagram));
    ASSERT_TRUE(broadcaster.announce(forged(2)));
    EXPECT_TRUE(waitUntil([&] { return entryFor(listener.agent, forged(2).instanceId).has_value(); }, 30s));

    // Leaving from an unknown id changes nothing; from a known one removes it.
    ASSERT_TRUE(broadcaster.announce(forged(3, "GONE", 0)));
    ASSERT_TRUE(broadcaster.announce(forged(2, "FORGED", 0)));
    EXPECT_TRUE(waitUntil([&] { return !entryFor(listener.agent, forged(2).instanceId); }, 30s));
    EXPECT_FALSE(entryFor(listener.agent, forged(3).instanceId));

    // A flood of thousands of ids, six to a datagram, fills the table but
    // never pushes out a peer that keeps announcing itself (every period, as
    // an agent does: here at each round of the flood).
    auto datagramOf = [](std::uint32_t first) {
        std::vector<std::uint8_t> datagram;
        for (std::uint32_t k = first; k < first + 6; ++k) {
            auto bytes = Broadcaster::wire(forged(k));
            datagram.insert(datagram.end(), bytes.begin(), bytes.end());
        }
        return datagram;
    };
    const PDPDiscovery genuine = forged(7, "GENUINE");
    ASSERT_TRUE(waitUntil([&] {
        broadcaster.announce(genuine);
        return entryFor(listener.agent, genuine.instanceId).has_value();
    }, 30s));
    const std::size_t capacity = discovery::PeerTable::defaultCapacity;
    std::uint32_t next = 100;
    int roundsWithoutIt = 0;
    EXPECT_TRUE(waitUntil([&] {
        roundsWithoutIt += entryFor(listener.agent, genuine.instanceId) ? 0 : 1;
        broadcaster.announce(genuine);
        for (int i = 0; i < 60; ++i, next += 6)
            broadcaster.send(datagramOf(next));
        EXPECT_LE(listener.agent.peers().size(), capacity);
        return listener.agent.peers().size() == capacity && next > 6000;
    }, 20s));
    EXPECT_EQ(roundsWithoutIt, 0);
    listener.agent.stop();
}

TEST(DiscoveryAgent, WithoutARouteItBacksOffAndStillStops)
{
    const bool ran = inEmptyNetwork([] {
        PortedAgent lonely(5151);
        ASSERT_TRUE(lonely.agent.start());
        ASSERT_TRUE(waitUntil([&] { return lonely.agent.sendFailures() >= 1; }, 30s));
        // Retrying at once would have failed thousands of times by now; the
        // retry waits for the next announcement period instead.
        ASSERT_TRUE(waitUntil([&] { return lonely.agent.sendFailures() >= 2; }, 30s));
        EXPECT_LE(lonely.agent.sendFailures(), 3u);
        EXPECT_TRUE(lonely.agent.stop());
        EXPECT_TRUE(lonely.agent.threadHandle()->isFinished());
    });
    if (!ran)
        GTEST_SKIP() << "cannot make a network namespace here";
}

TEST(DiscoveryAgent, StopReturnsWhenTheThreadEndedForWantOfASocket)
{
    const bool ran = inEmptyNetwork([] {
        // The port is held by a socket that shares it with nobody.
        platform::UniqueFd holder(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(DiscoveryAgent::discoveryPort);
        ASSERT_EQ(::bind(holder.get(), reinterpret_cast<sockaddr*>(&where), sizeof where), 0);

        PortedAgent agent(5151);
        ASSERT_TRUE(agent.agent.start());
        ASSERT_TRUE(agent.agent.threadHandle()->waitFor(10s)) << "the thread ends without a socket";
        EXPECT_TRUE(agent.agent.stop());
        EXPECT_EQ(agent.agent.sendFailures(), 0u);
    });
    if (!ran)
        GTEST_SKIP() << "cannot make a network namespace here";
}

TEST(DiscoveryAgent, StopWithoutStartAndTwiceIsHarmless)
{
    PortedAgent never(5151);
    EXPECT_TRUE(never.agent.stop());
    PortedAgent twice(5151);
    ASSERT_TRUE(twice.agent.start());
    EXPECT_TRUE(twice.agent.stop());
    EXPECT_TRUE(twice.agent.stop());
    EXPECT_TRUE(twice.agent.threadHandle()->isFinished());
}
