#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// IPv4 UDP sockets for the LAN announcements. Every function may be called
// from any thread and none of them throws. Addresses are in network byte
// order, ports in host order.

/// Where a datagram came from or goes to.
struct Ipv4Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Ipv4Endpoint&) const = default;
};

/// A non-blocking, close-on-exec UDP socket bound to the wildcard address and
/// `port`, with address reuse (so every instance on one machine binds the same
/// port and each hears every broadcast) and broadcasting allowed. Invalid on
/// failure, nothing left open.
UniqueFd openBroadcastSocket(std::uint16_t port);

/// A non-blocking UDP socket bound to the wildcard address on a port of the
/// system's choice, broadcasting allowed: for sending hand-made datagrams.
UniqueFd openSendingSocket();

/// The limited broadcast address 255.255.255.255.
std::uint32_t broadcastAddress();

/// Receives one datagram into `buffer`. Returns its length, `datagramTooLong`
/// when it did not fit (it is dropped), -1 when none is waiting, -2 on any
/// other failure. `sender` is filled for a received datagram.
inline constexpr long datagramTooLong = -3;
long receiveDatagram(int socket, char* buffer, std::size_t size, Ipv4Endpoint& sender);

enum class SendResult { sent, wouldBlock, failed };
/// Sends `data` as one datagram to `to`.
SendResult sendDatagram(int socket, std::string_view data, Ipv4Endpoint to);

struct Readiness {
    bool readable = false;  // a datagram (or an error) waits
    bool writable = false;  // only looked for with `wantWrite`
    bool woken = false;     // `wakeDescriptor` is readable
};
/// Waits at most `timeout` until `socket` is readable (or writable, with
/// `wantWrite`) or `wakeDescriptor` is readable. A failed wait reports
/// nothing ready. Interrupted waits end early and report nothing.
Readiness waitDatagramSocket(int socket, bool wantWrite, int wakeDescriptor, std::chrono::milliseconds timeout);

/// "a.b.c.d" for an address in network order.
std::string dottedAddress(std::uint32_t address);

/// This machine's name as the LAN sees it: the host name cut to 15 bytes
/// (empty when it cannot be read).
std::string computerName();

} // namespace platform
