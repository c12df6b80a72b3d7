// The outgoing side of TCP on Winsock.
#include "platform/Connect.h"

#include "platform/win32/Winsock.h"

#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <vector>

namespace platform {

std::optional<std::uint32_t> resolveIpv4(const std::string& host)
{
    if (!win32::startWinsock())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<std::uint32_t> address;
    for (addrinfo* entry = found; entry && !address; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in))
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
    }
    ::freeaddrinfo(found);
    return address;
}

bool isOwnAddress(std::uint32_t address)
{
    const std::uint32_t host = ntohl(address);
    if (host == INADDR_ANY || (host >> 24) == 127)
        return true;
    // The interfaces' IPv4 addresses (iphlpapi); the table is read twice
    // when it grew between the calls.
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    DWORD result = GetIpAddrTable(nullptr, &size, FALSE);
    for (int attempt = 0; attempt < 3 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.resize(size);
        result = GetIpAddrTable(reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data()), &size, FALSE);
    }
    if (result != NO_ERROR)
        return true;  // unknown: treated as ours, so nothing is asked of it
    const auto* table = reinterpret_cast<const MIB_IPADDRTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        if (table->table[i].dwAddr == address)
            return true;
    }
    return false;
}

UniqueFd connectTcpWithin(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds timeout)
{
    if (!win32::startWinsock())
        return {};
    const SOCKET made = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (made == INVALID_SOCKET)
        return {};
    UniqueFd socket(static_cast<int>(made));
    u_long nonBlocking = 1;
    if (::ioctlsocket(made, FIONBIO, &nonBlocking) != 0)
        return {};
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = address;
    where.sin_port = htons(port);
    if (::connect(made, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return {};
        // The connection completes (or fails) in the background; wait for it
        // to become writable, at most `timeout`. A refusal shows as an error.
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return {};
            WSAPOLLFD entry{made, POLLWRNORM, 0};
            const int ready = ::WSAPoll(&entry, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
            if (ready < 0)
                return {};
            if (ready == 0)
                continue;
            if (entry.revents & (POLLERR | POLLHUP | POLLNVAL))
                return {};
            break;
        }
        int error = 0;
        int length = sizeof error;
        if (::getsockopt(made, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0)
            return {};
    }
    // The client reads and writes with blocking calls under its own bounds.
    u_long blocking = 0;
    if (::ioctlsocket(made, FIONBIO, &blocking) != 0)
        return {};
    return socket;
}

bool setSendTimeout(int socket, std::chrono::milliseconds timeout)
{
    const DWORD milliseconds = static_cast<DWORD>(std::clamp<long long>(timeout.count(), 1, MAXDWORD - 1));
    return ::setsockopt(win32::socketOf(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
                        sizeof milliseconds) == 0;
}

} // namespace platform
