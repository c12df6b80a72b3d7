// UDP for the LAN announcements on Winsock.
#include "platform/Datagram.h"

#include "platform/win32/Utf16.h"
#include "platform/win32/Winsock.h"

#include <ws2tcpip.h>

#include <algorithm>

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
    if (!win32::startWinsock())
        return {};
    const SOCKET made = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (made == INVALID_SOCKET)
        return {};
    UniqueFd socket(static_cast<int>(made));
    BOOL on = TRUE;
    if (::setsockopt(made, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return {};
    // Every instance on the machine binds the announcement port and hears
    // each broadcast.
    if (reuse && ::setsockopt(made, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return {};
    // A "port unreachable" for an earlier send must not fail the next receive.
    BOOL off = FALSE;
    DWORD returned = 0;
    constexpr DWORD udpConnectionReset = _WSAIOW(IOC_VENDOR, 12);
    ::WSAIoctl(made, udpConnectionReset, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr);
    u_long nonBlocking = 1;
    sockaddr_in where = makeAddress(local);
    if (::bind(made, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::ioctlsocket(made, FIONBIO, &nonBlocking) != 0)
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
    int length = sizeof from;
    const int got = ::recvfrom(win32::socketOf(socket), buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0,
                               reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 0) {
        const int error = WSAGetLastError();
        // A datagram that did not fit is dropped whole, as on every system.
        if (error == WSAEMSGSIZE)
            return datagramTooLong;
        return error == WSAEWOULDBLOCK ? -1 : -2;
    }
    sender = {};
    if (from.sin_family == AF_INET)
        sender = {from.sin_addr.s_addr, ntohs(from.sin_port)};
    return got;
}

SendResult sendDatagram(int socket, std::string_view data, Ipv4Endpoint to)
{
    sockaddr_in where = makeAddress(to);
    if (::sendto(win32::socketOf(socket), data.data(), static_cast<int>(data.size()), 0, reinterpret_cast<sockaddr*>(&where),
                 sizeof where) >= 0)
        return SendResult::sent;
    const int error = WSAGetLastError();
    return (error == WSAEWOULDBLOCK || error == WSAENOBUFS) ? SendResult::wouldBlock : SendResult::failed;
}

Readiness waitDatagramSocket(int socket, bool wantWrite, int wakeDescriptor, std::chrono::milliseconds timeout)
{
    WSAPOLLFD entries[2] = {{win32::socketOf(socket), static_cast<short>(POLLRDNORM | (wantWrite ? POLLWRNORM : 0)), 0},
                            {win32::socketOf(wakeDescriptor), POLLRDNORM, 0}};
    const long long wait = std::max<long long>(0, std::min<long long>(timeout.count(), 1 << 30));
    Readiness ready;
    if (::WSAPoll(entries, 2, static_cast<int>(wait)) <= 0)
        return ready;
    ready.readable = (entries[0].revents & (POLLRDNORM | POLLERR | POLLHUP | POLLNVAL)) != 0;
    ready.writable = (entries[0].revents & POLLWRNORM) != 0;
    ready.woken = (entries[1].revents & (POLLRDNORM | POLLERR | POLLHUP | POLLNVAL)) != 0;
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
    // The machine's NetBIOS name: at most 15 characters already.
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length))
        return {};
    return win32::toUtf8(std::wstring_view(name, length)).substr(0, 15);
}

} // namespace platform
