// The announcement's wire form, the datagram decoder and the peer table,
// without sockets.
#include "discovery/PDPDiscovery.h"
#include "discovery/PeerTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using discovery::PDPDiscovery;
using discovery::PeerTable;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hexBytes(std::string hex)
{
    std::erase(hex, ' ');
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The identifier 00112233-4455-6677-8899-aabbccddeeff, as it lies in memory.
const platform::Guid exampleId = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                  0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};

PDPDiscovery announcement(std::uint8_t last, std::string name = "HOST", std::uint32_t state = 1,
                          std::uint16_t port = 5151)
{
    PDPDiscovery packet;
    packet.instanceId = exampleId;
    packet.instanceId[15] = last;
    packet.name = std::move(name);
    packet.state = state;
    packet.port = port;
    packet.sender = {0x0a000000u + last, 51515};  // each id from an address of its own
    return packet;
}

std::vector<std::string> lastBytesOfKeys(const PeerTable& table)
{
    std::vector<std::string> keys;
    for (const discovery::PeerEntry& entry : table.entries())
        keys.push_back(entry.key.substr(34));
    return keys;
}

Bytes wire(const PDPDiscovery& packet)
{
    Bytes bytes(255);
    std::size_t length = bytes.size();
    packet.serialize(bytes.data(), length);
    bytes.resize(length);
    return bytes;
}

} // namespace

TEST(Announcement, WorkedExampleByteForByte)
{
    PDPDiscovery packet = announcement(0xff);
    EXPECT_EQ(wire(packet), hexBytes("01 33221100554477668899aabbccddeeff 484f5354 0000000000000000000000"
                                     " 00000001 141f"));
    EXPECT_EQ(discovery::instanceKey(packet.instanceId), "00112233-4455-6677-8899-aabbccddeeff");

    std::size_t tooSmall = 37;
    Bytes buffer(37, 0xee);
    packet.serialize(buffer.data(), tooSmall);
    EXPECT_EQ(tooSmall, 0u);
    EXPECT_EQ(buffer, Bytes(37, 0xee));
}

TEST(Announcement, DecodingTable)
{
    const Bytes one = wire(announcement(1));
    const Bytes fifteen = wire(announcement(2, "ABCDEFGHIJKLMNO"));
    const Bytes leaving = wire(announcement(3, "HOST", 0, 80));
    Bytes foreign = wire(announcement(4));
    foreign[0] = 2;
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    struct Case {
        const char* what;
        Bytes datagram;
        std::vector<std::string> names;  // of the announcements decoded, in order
    };
    const std::vector<Case> cases = {
        {"one", one, {"HOST"}},
        {"a 15-byte name without terminator", fifteen, {"ABCDEFGHIJKLMNO"}},
        {"state 0 decodes (the table drops it)", leaving, {"HOST"}},
        {"another type", foreign, {}},
        {"two in one datagram", join({one, fifteen}), {"HOST", "ABCDEFGHIJKLMNO"}},
        {"a good one, then a foreign one, then a good one", join({one, foreign, one}), {"HOST"}},
        {"short", Bytes(one.begin(), one.begin() + 37), {}},
        {"a good one and a short tail", join({one, Bytes(10, 1)}), {"HOST"}},
        {"empty", {}, {}},
        {"garbage", Bytes(200, 0x41), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        for (const PDPDiscovery& packet : discovery::decodeAnnouncements(c.datagram))
            names.push_back(packet.name);
        EXPECT_EQ(names, c.names);
    }

    std::vector<PDPDiscovery> decoded = discovery::decodeAnnouncements(leaving);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].type, 1);
    EXPECT_EQ(decoded[0].state, 0u);
    EXPECT_EQ(decoded[0].port, 80);
    EXPECT_EQ(decoded[0].instanceId, announcement(3).instanceId);
    // Bytes after a zero inside the name field are not part of the name.
    Bytes hidden = one;
    hidden[17 + 6] = 'X';
    EXPECT_EQ(discovery::decodeAnnouncements(hidden).at(0).name, "HOST");
    // What a large state or port looks like on the wire is read back whole.
    EXPECT_EQ(discovery::decodeAnnouncements(wire(announcement(5, "", 0x01020304, 65535))).at(0).state,
              0x01020304u);
}

TEST(PeerTable, AddsRefreshesRemovesAndNeverListsItself)
{
    PeerTable table;
    const platform::Guid self = announcement(9).instanceId;
    PDPDiscovery peer = announcement(1);
    peer.sender = {0x0100000a, 51515};
    peer.receivedAt = 100;
    EXPECT_TRUE(table.handle(peer, self));
    EXPECT_FALSE(table.handle(announcement(9), self)) << "its own announcement";
    EXPECT_FALSE(table.handle(announcement(2, "X", 0), self)) << "leaving, never listed";
    PDPDiscovery foreign = announcement(3);
    foreign.type = 7;
    EXPECT_FALSE(table.handle(foreign, self));

    peer.port = 8080;
    peer.name = "NEWNAME";
    peer.receivedAt = 200;
    EXPECT_TRUE(table.handle(peer, self));
    const std::vector<discovery::PeerEntry> expected = {
        {"00112233-4455-6677-8899-aabbccddee01", {0x0100000a, 51515}, "NEWNAME", 8080}};
    EXPECT_EQ(table.entries(), expected);

    peer.state = 0;
    EXPECT_TRUE(table.handle(peer, self));
    EXPECT_EQ(table.size(), 0u);
}

TEST(PeerTable, ExpiresAfterTenSecondsAcrossTheTickWrap)
{
    PeerTable table;
    const platform::Guid self{};
    PDPDiscovery old = announcement(1);
    old.receivedAt = 0xffffff00u;  // shortly before the counter wraps
    PDPDiscovery fresh = announcement(2);
    fresh.receivedAt = 5000;
    table.handle(old, self);
    table.handle(fresh, self);

    EXPECT_EQ(table.expire(0xffffff00u + PeerTable::lifetime), 0u) << "exactly 10 s is still listed";
    EXPECT_EQ(table.expire(0xffffff00u + PeerTable::lifetime + 1), 1u);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.entries()[0].key, discovery::instanceKey(fresh.instanceId));
    EXPECT_EQ(table.expire(5000 + 15000), 1u);
}

TEST(PeerTable, AFloodOfIdsIsCappedWithoutPushingOutPeersHeardLately)
{
    PeerTable table(4);
    const platform::Guid self{};
    for (std::uint8_t i = 0; i < 10; ++i) {
        PDPDiscovery packet = announcement(i);
        packet.receivedAt = 1000u + i;
        table.handle(packet, self);
        EXPECT_LE(table.size(), 4u);
    }
    EXPECT_EQ(lastBytesOfKeys(table), (std::vector<std::string>{"00", "01", "02", "03"}))
        << "all heard lately: the newcomers are not kept";

    // Once a peer has been silent longer than that, a newcomer takes the
    // place of the one heard longest ago; a known peer's refresh never
    // evicts anybody.
    PDPDiscovery again = announcement(0);
    again.receivedAt = 1001 + PeerTable::heardLately;
    table.handle(again, self);
    EXPECT_EQ(table.size(), 4u);
    PDPDiscovery newcomer = announcement(42);
    newcomer.receivedAt = 1002 + PeerTable::heardLately;
    EXPECT_TRUE(table.handle(newcomer, self));
    EXPECT_EQ(lastBytesOfKeys(table), (std::vector<std::string>{"00", "02", "03", "2a"})) << "01 was heard longest ago";
}

TEST(PeerTable, RefusedAnnouncementsChangeNothing)
{
    const platform::Guid self{};
    PDPDiscovery listed = announcement(1, "REAL");
    listed.receivedAt = 100;
    auto from = [](PDPDiscovery packet, std::uint32_t address, std::uint16_t port) {
        packet.sender = {address, port};
        return packet;
    };
    struct Case {
        const char* name;
        PDPDiscovery packet;
    };
    const Case cases[] = {
        {"port 0", announcement(2, "X", 1, 0)},
        {"unknown state", announcement(2, "X", 2)},
        {"a listed id from another address", from(announcement(1, "FORGED", 1, 80), 0x0b000001, 51515)},
        {"a listed id from another port", from(announcement(1, "FORGED", 1, 80), listed.sender.address, 4000)},
        {"a listed id leaving, from elsewhere", from(announcement(1, "X", 0), 0x0b000001, 51515)},
    };
    for (const Case& c : cases) {
        PeerTable table;
        table.handle(listed, self);
        EXPECT_FALSE(table.handle(c.packet, self)) << c.name;
        ASSERT_EQ(table.size(), 1u) << c.name;
        EXPECT_EQ(table.entries()[0].name, "REAL") << c.name;
    }
}

TEST(PeerTable, OneEntryPerAddressAndPortTheNewest)
{
    PeerTable table;
    const platform::Guid self{};
    PDPDiscovery first = announcement(1);
    PDPDiscovery restarted = announcement(2);
    restarted.sender = first.sender;
    PDPDiscovery otherPort = announcement(3, "HOST", 1, 8080);
    otherPort.sender = first.sender;
    for (const PDPDiscovery& packet : {first, restarted, otherPort})
        EXPECT_TRUE(table.handle(packet, self));
    EXPECT_EQ(lastBytesOfKeys(table), (std::vector<std::string>{"02", "03"}));
    // A listed peer moving to a port another one announces takes it over too.
    restarted.port = 8080;
    EXPECT_TRUE(table.handle(restarted, self));
    EXPECT_EQ(lastBytesOfKeys(table), std::vector<std::string>{"02"});
}
