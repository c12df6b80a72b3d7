#pragma once

#include "message/MessageText.h"
#include "message/Stream.h"

#include <chrono>
#include <map>
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
    /// Server-side limits: past them a request is refused (414, 431, 413)
    /// and the connection ends.
    static constexpr std::size_t requestLineLimit = 8192;
    static constexpr std::size_t headerLineLimit = 8192;
    static constexpr std::size_t headerCountLimit = 100;
    static constexpr std::size_t headLimit = bufferSize;
    static constexpr std::size_t bodyLimit = 1 << 20;

    enum Method { get = 0, post = 2 };

    Stream* socket = nullptr;      // not owned
    std::string head;
    std::string path;              // without the query, percent-decoded
    std::string query;             // not decoded
    std::string target;            // path and query as sent, not decoded (server side)
    std::string protocol = "HTTP/1.1";
    int status = 0;                // 0 parsed; 400, 413, 414, 431, 501 failed; 500 nothing arrived; 401 set by authentication;
                                   // -1 socket failed or the request never arrived whole
    std::string reason;
    int method = get;
    std::map<std::string, std::string> params;   // body parameters, then query ones; first wins
    HeaderMap headers;             // names as first sent, found in any case; first line of a name wins
    std::string body;
    std::string authorizedSession;

    /// Server side: receives and parses the next request from `stream`; the
    /// result is in `status` and `reason`. Waits at most `limits.idle` for the
    /// first byte and `limits.request` from then on for the head and body; a
    /// failed receive (a passed deadline included) gives status -1, and so
    /// does a peer that closes before the body "Content-Length" announced has
    /// arrived: such a request must not run. The body is read whatever the
    /// method, so the next request starts where this one ends; bytes received
    /// past that end are given back to the stream. A head without its blank
    /// line (the peer closed) is read as far as it came. Past the limits
    /// above: 414, 431 or 413; "Transfer-Encoding": 501; two different
    /// lengths: 400. Text ends at the first zero byte, framing does not. The
    /// stream's deadline is cleared on return.
    void parse(Stream& stream, const ReceiveLimits& limits = {});

    /// Parses `received` as the whole of what a peer sent before closing,
    /// exactly as `parse` would. Exposed for tests and fuzzing.
    void parseText(std::string_view received);

    /// Client side: writes the request line and headers in one send, then the
    /// body (if any) in another; returns the bytes sent (a failed send counts
    /// 0; nothing follows a failed head).
    long send();

    /// Appends the HTML debug listing of this request to `out`; every inserted
    /// text is HTML-escaped.
    void dumpHtml(std::string& out) const;
};

} // namespace http
