#include "platform/Datagram.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

sockaddr_in makeAddress(Ipv4Endpoint endpoint)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = endpoint.address;
    result.sin_port = htons(endpoint.port);
    return result;
}

UniqueFd openUdp(Ipv4Endpoint local, bool reuse)
{
    UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket)
        return {};
    int on = 1;
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return {};
    if (reuse && ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return {};
    sockaddr_in where = makeAddress(local);
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0)
        return {};
    return socket;
}

} // namespace

UniqueFd openBroadcastSocket(std::uint16_t port)
{
    return openUdp({htonl(INADDR_ANY), port}, true);
}

UniqueFd openSendingSocket()
{
    return openUdp({htonl(INADDR_ANY), 0}, false);
}

std::uint32_t broadcastAddress()
{
    return htonl(INADDR_BROADCAST);
}

long receiveDatagram(int socket, char* buffer, std::size_t size, Ipv4Endpoint& sender)
{
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t got;
    do
        // MSG_TRUNC answers the datagram's whole length, so a cut one is seen.
        got = ::recvfrom(socket, buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &length);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : -2;
    if (static_cast<std::size_t>(got) > size)
        return datagramTooLong;
    sender = {};
    if (from.sin_family == AF_INET)
        sender = {from.sin_addr.s_addr, ntohs(from.sin_port)};
    return static_cast<long>(got);
}

SendResult sendDatagram(int socket, std::string_view data, Ipv4Endpoint to)
{
    sockaddr_in where = makeAddress(to);
    ssize_t sent;
    do
        sent = ::sendto(socket, data.data(), data.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&where),
                        sizeof where);
    while (sent < 0 && errno == EINTR);
    if (sent >= 0)
        return SendResult::sent;
    return (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) ? SendResult::wouldBlock
                                                                          : SendResult::failed;
}

Readiness waitDatagramSocket(int socket, bool wantWrite, int wakeDescriptor, std::chrono::milliseconds timeout)
{
    pollfd entries[2] = {{socket, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                         {wakeDescriptor, POLLIN, 0}};
    const long long wait = std::max<long long>(0, std::min<long long>(timeout.count(), 1 << 30));
    Readiness ready;
    if (::poll(entries, 2, static_cast<int>(wait)) <= 0)
        return ready;
    ready.readable = (entries[0].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
    ready.writable = (entries[0].revents & POLLOUT) != 0;
    ready.woken = (entries[1].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
    return ready;
}

std::string dottedAddress(std::uint32_t address)
{
    in_addr value{};
    value.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &value, text, sizeof text))
        return {};
    return text;
}

std::string computerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    std::string text(name);
    return text.substr(0, 15);
}

} // namespace platform
