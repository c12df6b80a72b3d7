#pragma once

#include "message/Stream.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace http {

/// One HTTP answer: built and sent by the server, or received by the client.
/// Belongs to one thread; no locking.
class Response {
public:
    explicit Response(Stream* socket = nullptr);

    Stream* socket = nullptr;  // not owned
    std::string protocol = "HTTP/1.1";
    int status = 200;
    std::string reason = "OK";
    std::map<std::string, std::string> headers;  // starts with Content-Type: text/html
    std::string body;
    /// Further lines of headers whose name repeats (such as a second
    /// challenge), written right after the line of the same name in `headers`
    /// (at the end when `headers` has none).
    std::vector<std::pair<std::string, std::string>> repeatedLines;

    /// Adds one more line for header `name`.
    void addLine(std::string name, std::string value);
    /// Sets `body` and its Content-Length.
    void setBody(std::string text);
    /// The status line and headers exactly as written to the socket. CR, LF
    /// and zero bytes in names, values and the reason are left out, so no
    /// text that reached a header can start a line of its own.
    std::string headText() const;
    /// Writes the head in one send: bytes sent, 0 on failure.
    long sendHead();
    /// Writes head and body: the head's count plus the body's (left out when
    /// the body's send fails), 0 when the head failed.
    long send();

    /// Client side: parses a received head and what followed it. Empty text,
    /// or a status line without a status word, leaves the rest unchanged.
    /// Received headers replace the constructor's defaults. The body is taken
    /// up to "Content-Length" (none without it) and no further; text that
    /// ends early leaves it shorter.
    void parseText(std::string_view received);
};

} // namespace http
