#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The outgoing side of TCP, for the program's own HTTP client. Any thread;
// nothing throws. Addresses in network byte order, ports in host order.

/// The first IPv4 address of `host` (dotted text or a name the system's
/// resolver knows); none when it has none.
std::optional<std::uint32_t> resolveIpv4(const std::string& host);

/// True when a connection to `address` would reach this machine: a loopback
/// address, the unspecified address, or one held by a network interface now.
bool isOwnAddress(std::uint32_t address);

/// A blocking, close-on-exec socket connected to `address`:`port` within
/// `timeout`; invalid when the connection failed or took longer.
UniqueFd connectTcpWithin(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds timeout);

/// Makes every blocking send on `socket` give up after `timeout` without progress.
bool setSendTimeout(int socket, std::chrono::milliseconds timeout);

} // namespace platform
