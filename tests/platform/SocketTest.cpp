// TCP over the loopback address through the platform layer, as each system
// answers it.
#include "platform/FileSend.h"
#include "platform/Files.h"
#include "platform/Guid.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string receiveExactly(int socket, std::size_t count)
{
    std::string text;
    char buffer[64];
    while (text.size() < count) {
        const long got = platform::receiveSome(socket, buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

} // namespace

TEST(Socket, ListensConnectsAndCarriesBytesBothWays)
{
    using namespace std::chrono_literals;
    const platform::UniqueFd listener = platform::listenTcp(platform::loopbackAddress(), 0);
    ASSERT_TRUE(listener);
    const std::uint16_t port = platform::boundPort(listener.get());
    ASSERT_NE(port, 0);
    const int listening[] = {listener.get()};
    EXPECT_EQ(platform::waitReadable(listening, 0ms), -1);  // nobody knocked yet
    errno = 0;
    EXPECT_FALSE(platform::listenTcp(platform::loopbackAddress(), port));  // the port is taken
    EXPECT_EQ(errno, EADDRINUSE);

    const platform::UniqueFd client = platform::connectTcp(platform::loopbackAddress(), port);
    ASSERT_TRUE(client);
    EXPECT_EQ(platform::waitReadable(listening, 5s), 0);
    std::string peer;
    const platform::UniqueFd server = platform::acceptSocket(listener.get(), peer);
    ASSERT_TRUE(server);
    EXPECT_EQ(peer, "127.0.0.1");
    EXPECT_EQ(platform::peerAddressText(client.get()), "127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(platform::peerAddress(server.get()), platform::loopbackAddress());
    EXPECT_TRUE(platform::setNoDelay(server.get()));

    char buffer[16];
    EXPECT_EQ(platform::receiveAvailable(server.get(), buffer, sizeof buffer), -2);
    EXPECT_EQ(platform::sendGathered(client.get(), "head ", "body"), 9u);
    EXPECT_EQ(receiveExactly(server.get(), 9), "head body");
    EXPECT_EQ(platform::sendWithoutWaiting(server.get(), "ok"), 2);
    EXPECT_EQ(platform::sendAll(server.get(), "!"), 1);
    EXPECT_EQ(receiveExactly(client.get(), 3), "ok!");
    // The accepted socket blocks again: a wait for its peer's end is a real wait.
    EXPECT_TRUE(platform::shutdownSending(client.get()));
    EXPECT_EQ(platform::receiveSome(server.get(), buffer, sizeof buffer), 0);
}

TEST(FileSend, SendsTheRangeAskedForAndStopsAtTheFilesEnd)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tunelet-send-" + platform::newGuidText());
    std::ofstream(path, std::ios::binary) << "0123456789";
    const platform::UniqueFd listener = platform::listenTcp(platform::loopbackAddress(), 0);
    ASSERT_TRUE(listener);
    const platform::UniqueFd client = platform::connectTcp(platform::loopbackAddress(), platform::boundPort(listener.get()));
    std::string peer;
    const platform::UniqueFd server = platform::acceptSocket(listener.get(), peer);
    ASSERT_TRUE(client && server);
    {
        const platform::UniqueFd file = platform::openFile(path.string(), platform::openRead);
        ASSERT_TRUE(file);
        bool failed = true;
        bool blocked = true;
        EXPECT_EQ(platform::sendFileRange(server.get(), file.get(), 2, 5, failed), 5u);
        EXPECT_FALSE(failed);
        EXPECT_EQ(platform::sendFileAvailable(server.get(), file.get(), 7, 100, failed, blocked), 3u);  // to the end
        EXPECT_FALSE(failed || blocked);
        EXPECT_EQ(receiveExactly(client.get(), 8), "23456789");
    }
    std::filesystem::remove(path);
}
