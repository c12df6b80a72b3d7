// UDP datagrams and outgoing TCP through the platform layer, on the loopback
// address, as each system answers them.
#include "platform/Connect.h"
#include "platform/Datagram.h"
#include "platform/Socket.h"
#include "platform/WakeupDescriptor.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::chrono_literals;

TEST(Datagram, CarriesWholeDatagramsAndDropsTheTooLong)
{
    const platform::UniqueFd receiver = platform::openBroadcastSocket(0);
    const platform::UniqueFd sender = platform::openSendingSocket();
    ASSERT_TRUE(receiver && sender);
    const platform::Ipv4Endpoint to{platform::loopbackAddress(), platform::boundPort(receiver.get())};
    ASSERT_NE(to.port, 0);
    platform::WakeupDescriptor wake;

    char buffer[8];
    platform::Ipv4Endpoint from;
    EXPECT_EQ(platform::receiveDatagram(receiver.get(), buffer, sizeof buffer, from), -1);  // none yet
    const struct {
        std::string sent;
        long received;
    } cases[] = {{"hello", 5}, {"", 0}, {"far too long", platform::datagramTooLong}, {"after", 5}};
    for (const auto& c : cases) {
        ASSERT_EQ(platform::sendDatagram(sender.get(), c.sent, to), platform::SendResult::sent);
        EXPECT_TRUE(platform::waitDatagramSocket(receiver.get(), false, wake.descriptor(), 5s).readable) << c.sent;
        EXPECT_EQ(platform::receiveDatagram(receiver.get(), buffer, sizeof buffer, from), c.received) << c.sent;
        if (c.received > 0) {
            EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(c.received)), c.sent);
            EXPECT_EQ(from.address, platform::loopbackAddress());
        }
    }
    wake.signal();
    const platform::Readiness woken = platform::waitDatagramSocket(receiver.get(), true, wake.descriptor(), 5s);
    EXPECT_TRUE(woken.woken);
    EXPECT_TRUE(woken.writable);
    EXPECT_FALSE(woken.readable);

    EXPECT_EQ(platform::dottedAddress(platform::loopbackAddress()), "127.0.0.1");
    const std::string name = platform::computerName();
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 15u);
}

TEST(Connect, ReachesAListenerResolvesAndKnowsItsOwnAddresses)
{
    const platform::UniqueFd listener = platform::listenTcp(platform::loopbackAddress(), 0);
    ASSERT_TRUE(listener);
    const std::uint16_t port = platform::boundPort(listener.get());
    const platform::UniqueFd connected = platform::connectTcpWithin(platform::loopbackAddress(), port, 5s);
    ASSERT_TRUE(connected);
    EXPECT_TRUE(platform::setSendTimeout(connected.get(), 2s));
    EXPECT_EQ(platform::sendAll(connected.get(), "x"), 1);  // blocking again, and connected
    const platform::UniqueFd refused = platform::connectTcpWithin(platform::loopbackAddress(), 1, 5s);
    EXPECT_FALSE(refused);

    EXPECT_EQ(platform::resolveIpv4("127.0.0.1"), platform::loopbackAddress());
    const struct {
        const char* address;
        bool own;
    } addresses[] = {{"127.0.0.1", true}, {"0.0.0.0", true}, {"192.0.2.1", false}};
    for (const auto& a : addresses) {
        const auto address = platform::resolveIpv4(a.address);
        ASSERT_TRUE(address.has_value()) << a.address;
        EXPECT_EQ(platform::isOwnAddress(*address), a.own) << a.address;
    }
}
