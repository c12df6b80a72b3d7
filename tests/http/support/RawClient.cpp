#include "http/support/RawClient.h"

#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

namespace testing_support {

std::optional<std::string> RawClient::Answer::header(std::string_view name) const
{
    std::string key = "\r\n" + std::string(name) + ": ";
    std::size_t at = head.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    at += key.size();
    std::size_t end = head.find("\r\n", at);
    return head.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

RawClient::RawClient(std::uint16_t port) : socket(platform::connectTcp(platform::loopbackAddress(), port)) {}

RawClient::RawClient(std::uint16_t port, const char* source, int receiveBuffer)
    : socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = platform::loopbackAddress();
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0
        || ::bind(socket.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
        || ::connect(socket.get(), reinterpret_cast<sockaddr*>(&server), sizeof server) != 0)
        socket.reset();
}

bool RawClient::send(std::string_view text)
{
    return platform::sendAll(socket.get(), text) == static_cast<long>(text.size());
}

long RawClient::receiveMore(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int descriptor = socket.get();
    if (platform::waitReadable({&descriptor, 1}, std::max(left, std::chrono::milliseconds(0))) != 0)
        return -2;
    char buffer[16384];
    long got = platform::receiveSome(descriptor, buffer, sizeof buffer);
    if (got > 0)
        pending.append(buffer, static_cast<std::size_t>(got));
    return got;
}

std::pair<RawClient::Answer, std::size_t> RawClient::pendingHead(std::chrono::steady_clock::time_point deadline)
{
    std::size_t headEnd;
    while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos)
        if (receiveMore(deadline) <= 0)
            return {Answer{}, std::string::npos};
    Answer answer;
    answer.head = pending.substr(0, headEnd);
    std::size_t space = answer.head.find(' ');
    answer.status = space == std::string::npos ? -1 : std::atoi(answer.head.c_str() + space + 1);
    return {std::move(answer), headEnd};
}

RawClient::Answer RawClient::readAnswer(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto [complete, headEnd] = pendingHead(deadline);
    if (headEnd == std::string::npos)
        return {};
    std::size_t length = 0;
    if (auto value = complete.header("Content-Length"))
        length = std::strtoul(value->c_str(), nullptr, 10);
    const std::size_t bodyStart = headEnd + 4;
    while (pending.size() - bodyStart < length)
        if (receiveMore(deadline) <= 0)
            return {};
    complete.body = pending.substr(bodyStart, length);
    pending.erase(0, bodyStart + length);
    return complete;
}

RawClient::Answer RawClient::readHead(std::chrono::milliseconds timeout)
{
    auto [answer, headEnd] = pendingHead(std::chrono::steady_clock::now() + timeout);
    if (headEnd != std::string::npos)
        pending.erase(0, headEnd + 4);
    return answer;
}

RawClient::End RawClient::waitForEnd(std::string& received, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    End end = End::stillOpen;
    for (;;) {
        long got = receiveMore(deadline);
        if (got == -2)
            break;
        if (got <= 0) {
            end = got == 0 ? End::closed : End::reset;
            break;
        }
    }
    received = std::move(pending);
    pending.clear();
    return end;
}

std::string RawClient::readThrough(std::string_view marker, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t found = pending.find(marker);
    while (found == std::string::npos) {
        if (receiveMore(deadline) <= 0)
            return {};
        found = pending.find(marker);
    }
    std::string through = pending.substr(0, found + marker.size());
    pending.erase(0, found + marker.size());
    return through;
}

void RawClient::shutdownSending()
{
    platform::shutdownSending(socket.get());
}

std::uint16_t RawClient::localPort() const
{
    return platform::boundPort(socket.get());
}

} // namespace testing_support
