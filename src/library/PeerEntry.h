#pragma once

#include <cstdint>
#include <string>

namespace library {

/// What a reader of the discovery agent's peer table keeps of one entry: a
/// copy, taken under the agent's lock.
struct PeerEntry {
    /// The table's key: the peer's instance id in its text form.
    std::string key;
    /// The IPv4 address the announcement came from, in dotted decimal.
    std::string address;
    /// The announced computer name, bytes as received.
    std::string name;
    /// The announced HTTP port.
    std::uint16_t port = 0;
};

} // namespace library
