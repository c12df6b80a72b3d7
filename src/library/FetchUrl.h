#pragma once

#include "message/Response.h"
#include "library/FetchGate.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace library {

/// The parts of a peer URL "http://AUTHORITY/PATH?QUERY".
struct PeerUrl {
    std::string authority;  // as written: host, or host ":" port
    std::string host;
    std::uint16_t port = 80;
    std::string path;       // from the first "/" up to "?" ("" when there is no "/")
    std::string query;      // after the first "?" of the target; may be empty
};

/// Splits `url`. False when it does not begin with "http://", has an empty
/// host, or names a port that is not a number from 1 to 65535.
bool splitPeerUrl(std::string_view url, PeerUrl& parts);

/// How long a fetch may take and how much it may read.
struct FetchLimits {
    std::chrono::milliseconds connect{std::chrono::seconds(3)};
    /// From the start of the fetch until the whole answer has arrived.
    std::chrono::milliseconds exchange{std::chrono::seconds(10)};
    /// The most bytes an answer (head and body) may have.
    std::size_t answerBytes = 8u << 20;
};

/// The program's one outgoing HTTP request: GET of `url` with exactly the
/// headers "Connection: close" and "Host: AUTHORITY", the answer read into
/// `response` (status, headers, and a body framed by "Content-Length", or
/// running until the peer closes when there is none). True when a whole
/// answer arrived within `limits`; false, with `response` unspecified, when
/// the URL is not a peer URL, the host has no IPv4 address, the connection
/// fails, the peer does not answer in time, or the answer is longer than
/// allowed. Any thread; blocks it for at most about `exchange` (the
/// host name lookup aside, which uses the system's resolver). Keeps no state.
/// With a `gate`, the fetch fails at once when the gate is closed before it
/// starts or while it talks to the peer (a connection attempt under way runs
/// its course, at most `connect`).
bool fetchUrl(std::string_view url, http::Response& response, const FetchLimits& limits = {},
              FetchGate* gate = nullptr);

} // namespace library
