#pragma once

#include "http/Stream.h"

#include <chrono>
#include <map>
#include <ostream>
#include <string>

namespace http {

/// How long a server-side parse waits for the peer.
struct ReceiveLimits {
    /// For the first byte of a request (an idle keep-alive connection).
    std::chrono::milliseconds idle{std::chrono::seconds(900)};
    /// From the first byte until the head and body have arrived.
    std::chrono::milliseconds request{std::chrono::seconds(30)};
};

/// One HTTP request: parsed from a connection by the server, or built and sent
/// by the program's own client. Belongs to one thread; no locking.
class Request {
public:
    static constexpr std::size_t bufferSize = 40960;

    enum Method { get = 0, post = 2 };

    Stream* socket = nullptr;      // not owned
    std::string head;
    std::string path;              // without the query, percent-decoded
    std::string query;             // not decoded
    std::string target;            // path and query as sent, not decoded (server side)
    std::string protocol = "HTTP/1.1";
    int status = 0;                // 0 parsed; 400, 500, 501 failed; 401 set by authentication; -1 socket failed
    std::string reason;
    int method = get;
    std::map<std::string, std::string> params;   // body parameters, then query ones; first wins
    std::map<std::string, std::string> headers;  // names as sent; first line of a name wins
    std::string body;
    std::string authorizedSession;

    /// Server side: receives and parses the next request from `stream`; the
    /// result is in `status` and `reason`. Waits at most `limits.idle` for the
    /// first byte and `limits.request` from then on for the head and body; a
    /// failed receive (a passed deadline included) gives status -1. At most
    /// 40960 bytes are read for the head and 40960 more for a POST body; the
    /// rest stays on the stream. A POST whose head has no blank line gets no
    /// body. The stream's deadline is cleared on return.
    void parse(Stream& stream, const ReceiveLimits& limits = {});

    /// Parses received text (everything up to the first zero byte counts), as
    /// `parse` does after receiving; for POST, a body shorter than
    /// Content-Length is taken as it is. Exposed for tests and fuzzing.
    void parseText(std::string_view received);

    /// Client side: writes the request line and headers in one send, then the
    /// body (if any) in another; returns the bytes sent (a failed send counts
    /// 0; nothing follows a failed head).
    long send();

    /// Appends the HTML debug listing of this request to `out`; every inserted
    /// text is HTML-escaped.
    void dumpHtml(std::ostream& out) const;
};

} // namespace http
