#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace host {

/// Parses dotted-decimal IPv4 text: exactly four decimal parts of one to
/// three digits, each 0..255 ("192.168.0.1", "010" counts as ten), blanks
/// allowed around the whole text only. The address is stored in
/// `networkOrder` with the first part in the lowest-addressed byte (network
/// byte order, ready for a socket address). False, with `networkOrder`
/// untouched, for anything else: fewer or more parts, hexadecimal, signs,
/// a host name, a port suffix, the empty text.
bool parseIPv4(std::string_view text, std::uint32_t& networkOrder);

/// The dotted-decimal text of an address in network byte order.
std::string formatIPv4(std::uint32_t networkOrder);

} // namespace host
