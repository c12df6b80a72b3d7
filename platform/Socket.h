#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// IPv4 TCP sockets, owned through UniqueFd and borrowed as plain descriptors.
// Every function may be called from any thread; none of them throws. Sockets
// are close-on-exec. Addresses are in network byte order, ports in host order.

/// A listening socket bound to `address`:`port` (SO_REUSEADDR, backlog
/// SOMAXCONN), non-blocking so that an accept after a wake-up never hangs.
/// Invalid on failure, with errno telling why; nothing is left open then.
UniqueFd listenTcp(std::uint32_t address, std::uint16_t port);

/// The local port `socket` is bound to; 0 when it cannot be read.
std::uint16_t boundPort(int socket);

/// Accepts one pending connection as a blocking socket and puts the peer's
/// dotted address into `peerAddress` (empty when unknown). Invalid when
/// nothing was accepted; `exhausted` (when given) then tells whether the cause
/// was a lack of descriptors or memory, which a retry at once will not cure.
UniqueFd acceptSocket(int listening, std::string& peerAddress, bool* exhausted = nullptr);

/// A blocking socket connected to `address`:`port`; invalid on failure.
UniqueFd connectTcp(std::uint32_t address, std::uint16_t port);

/// The address 127.0.0.1 in network order.
std::uint32_t loopbackAddress();

/// The peer of a connected socket as "a.b.c.d:port", or "?.?.?.?:???" when it
/// cannot be read.
std::string peerAddressText(int socket);

/// The peer's IPv4 address of a connected socket (network order); 0 when it
/// cannot be read.
std::uint32_t peerAddress(int socket);

/// Ends the sending direction; the receiving direction stays open.
bool shutdownSending(int socket);
/// Ends the receiving direction: a pending or later receive returns 0 once
/// the data already queued is read; sending goes on.
bool shutdownReceiving(int socket);
/// Ends both directions: pending receives return 0, pending sends fail.
bool shutdownBoth(int socket);
/// Turns off the small-packet delay, so answers leave at once.
bool setNoDelay(int socket);

/// Receives up to `size` bytes: the count, 0 when the peer closed its side,
/// -1 on failure. Interrupted calls are resumed.
long receiveSome(int socket, char* buffer, std::size_t size);

/// As `receiveSome`, but never waits: -2 when nothing has arrived yet.
long receiveAvailable(int socket, char* buffer, std::size_t size);

/// Sends all of `data` without raising SIGPIPE: the count (the whole size) or
/// -1 when the socket failed first.
long sendAll(int socket, std::string_view data);

/// Sends what fits into the socket's buffer now, never waiting: the count,
/// or -1 on failure (a full buffer included).
long sendWithoutWaiting(int socket, std::string_view data);

/// Sends `first` and `second` as one gathered write (continued until all is
/// out): the total sent, which falls short of the sum only on failure.
std::size_t sendGathered(int socket, std::string_view first, std::string_view second);

/// As `sendGathered`, but never waits for room in the socket's buffer: the
/// total sent before the buffer was full (possibly 0), or -1 on failure.
long sendGatheredAvailable(int socket, std::string_view first, std::string_view second);

/// Waits until one of `descriptors` is readable, hung up or in error, or until
/// `timeout` passes (negative: no limit). Returns the index of the first such
/// descriptor, -1 on time-out, -2 when the wait itself failed. Interrupted
/// waits are resumed with the remaining time.
int waitReadable(std::span<const int> descriptors, std::chrono::milliseconds timeout);

} // namespace platform
