#include "message/Request.h"

#include "message/BufferStream.h"
#include "message/MessageText.h"
#include "message/UrlCoding.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace http {

namespace {

/// Holds the stream's receive deadline for one parse and clears it however
/// the parse ends, so a handler's later reads are not cut off.
class ReceiveDeadline {
public:
    explicit ReceiveDeadline(Stream& stream) : stream(stream) {}
    ReceiveDeadline(const ReceiveDeadline&) = delete;
    ReceiveDeadline& operator=(const ReceiveDeadline&) = delete;
    ~ReceiveDeadline() { stream.setReceiveDeadline(std::nullopt); }

    void allow(std::chrono::milliseconds wait) { stream.setReceiveDeadline(Stream::Clock::now() + wait); }

private:
    Stream& stream;
};

void resetFields(Request& request)
{
    request.status = 0;
    request.reason.clear();
    request.headers.clear();
    request.params.clear();
    request.head.clear();
    request.path.clear();
    request.query.clear();
    request.target.clear();
    request.body.clear();
    request.authorizedSession.clear();
}

bool fail(Request& request, int status, const char* reason)
{
    request.status = status;
    request.reason = reason;
    return false;
}

/// Reads the request line and the header lines of `request.head`; false with
/// the failure answer in `status` and `reason`.
bool readHead(Request& request)
{
    std::string_view text = request.head;
    std::size_t lineEnd = text.find("\r\n");
    if (lineEnd == npos)
        return fail(request, 400, "Bad Request");
    std::string_view line = text.substr(0, lineEnd);

    std::size_t methodEnd = line.find(' ');
    if (methodEnd == npos)
        return fail(request, 501, "Method not implemented");
    std::string_view method = line.substr(0, methodEnd);
    if (method == "GET")
        request.method = Request::get;
    else if (method == "POST")
        request.method = Request::post;
    else
        return fail(request, 501, "Method not implemented");

    std::size_t targetStart = methodEnd + 1;
    std::size_t targetEnd = line.find(' ', targetStart);
    std::string_view target = line.substr(targetStart, targetEnd == npos ? npos : targetEnd - targetStart);
    if (target.empty() || target.front() != '/')
        return fail(request, 400, "Bad Request");

    request.target = target;
    std::size_t mark = target.find('?');
    request.path = target.substr(0, mark);
    urlDecode(request.path);
    if (mark != npos) {
        request.query = target.substr(mark + 1);
        // A query must be followed by the protocol.
        if (targetEnd == npos)
            return fail(request, 400, "Bad Request");
    }
    if (targetEnd != npos)
        request.protocol = line.substr(targetEnd + 1);

    readHeaderLines(text.substr(lineEnd + 2), request.headers);
    return true;
}

/// Takes the POST body (`length` bytes from `bodyStart`, npos when the head
/// had no blank line) from `head`, fills the parameters and marks the
/// request parsed.
void finishParse(Request& request, std::size_t bodyStart, std::size_t length)
{
    if (request.method == Request::post && bodyStart != npos) {
        if (bodyStart < request.head.size())
            request.body = request.head.substr(bodyStart, length);
        readParams(request.body, request.params);
    }
    readParams(request.query, request.params);
    request.status = 0;
    request.reason.clear();
}

bool sameName(std::string_view a, std::string_view b)
{
    return !NameLess{}(a, b) && !NameLess{}(b, a);
}

/// Scans the header lines of `head` (from after the request line to the
/// blank line) for the limits and for framing the reader cannot trust; false
/// with the answer set.
bool checkHeaderLines(Request& request, std::string_view head)
{
    std::size_t lines = 0;
    std::optional<std::string_view> length;
    std::size_t pos = head.find("\r\n");
    while (pos != npos) {
        std::size_t start = pos + 2;
        std::size_t end = head.find("\r\n", start);
        if (end == npos || end == start)
            break;
        std::string_view line = head.substr(start, end - start);
        if (++lines > Request::headerCountLimit || line.size() > Request::headerLineLimit)
            return fail(request, 431, "Request Header Fields Too Large");
        std::size_t colon = line.find(':');
        std::string_view name = line.substr(0, colon);
        // A framing header spelt with blanks before its colon is not one we
        // read, but a peer that drops the blanks frames the body by it.
        const std::string_view bare = name.substr(0, name.find_last_not_of(" \t") + 1);
        if (colon != npos && bare.size() != name.size() &&
            (sameName(bare, "Content-Length") || sameName(bare, "Transfer-Encoding")))
            return fail(request, 400, "Bad Request");
        if (colon != npos && sameName(name, "Content-Length")) {
            std::string_view value = line.substr(colon + 1);
            // "3abc", "+3" or "3, 3" would be read as 3 where a peer may
            // read something else, or refuse it.
            if (!isLengthValue(value))
                return fail(request, 400, "Bad Request");
            value = value.substr(value.find_first_not_of(" \t"));
            value = value.substr(0, value.find_last_not_of(" \t") + 1);
            // Two different lengths: whichever one we took, a peer taking the
            // other would read the connection out of step with us.
            if (length && *length != value)
                return fail(request, 400, "Bad Request");
            length = value;
        }
        pos = end;
    }
    return true;
}

/// Where the head of `received` ends (after its blank line); npos when it
/// has not arrived. `from` is where the search may start.
std::size_t headEnd(std::string_view received, std::size_t from)
{
    std::size_t blank = findBlankLine(received, from);
    return blank == npos ? npos : blank + 4;
}

/// Receives into `received` until the head has arrived (its end returned),
/// the peer closes (npos), a receive fails (npos, status -1) or a limit is
/// passed (npos, status set).
std::size_t receiveHead(Request& request, Stream& stream, std::string& received, ReceiveDeadline& deadline,
                        const ReceiveLimits& limits)
{
    char buffer[Request::bufferSize];
    for (;;) {
        long count = stream.receive(buffer, sizeof buffer);
        if (count < 0 || std::size_t(count) > sizeof buffer) {
            request.status = -1;
            return npos;
        }
        if (count == 0)
            return npos;
        if (received.empty())
            deadline.allow(limits.request);  // a peer trickling bytes is cut off
        std::size_t searchFrom = received.size() < 3 ? 0 : received.size() - 3;
        received.append(buffer, std::size_t(count));
        // Without its "\r\n" yet, the line may end in a "\r" whose "\n" is on its way.
        std::size_t lineEnd = received.find("\r\n");
        if (lineEnd == npos ? received.size() > Request::requestLineLimit + 1 : lineEnd > Request::requestLineLimit) {
            fail(request, 414, "URI Too Long");
            return npos;
        }
        std::size_t end = headEnd(received, searchFrom);
        if (end != npos ? end > Request::headLimit : received.size() >= Request::headLimit) {
            fail(request, 431, "Request Header Fields Too Large");
            return npos;
        }
        if (end != npos)
            return end;
    }
}

/// Receives until `received` holds `wanted` bytes; false when the peer
/// closed or a receive failed first.
bool receiveBody(Stream& stream, std::string& received, std::size_t wanted)
{
    char buffer[Request::bufferSize];
    while (received.size() < wanted) {
        std::size_t want = std::min(wanted - received.size(), sizeof buffer);
        long count = stream.receive(buffer, want);
        if (count <= 0 || std::size_t(count) > want)
            return false;
        received.append(buffer, std::size_t(count));
    }
    return true;
}

} // namespace

void Request::parse(Stream& stream, const ReceiveLimits& limits)
{
    resetFields(*this);
    socket = &stream;
    ReceiveDeadline deadline(stream);
    deadline.allow(limits.idle);

    // What arrives past the end of this request (a pipelined next one) is
    // given back to the stream for the next parse.
    std::string received;
    std::size_t bodyStart = receiveHead(*this, stream, received, deadline, limits);
    if (status != 0)
        return;  // failed, or refused at a limit
    if (received.empty()) {
        // A peer that closed before sending anything is answered 500, and
        // the connection ends.
        fail(*this, 500, "Internal Server Error");
        return;
    }

    head.assign(received.substr(0, std::min(received.find('\0'), bodyStart)));
    if (!readHead(*this))
        return;
    std::size_t length = contentLength(headers);
    if (bodyStart == npos) {
        // The peer closed inside the head: what arrived is read as the head,
        // but a body it announced never came, so nothing may be run.
        if (length > 0)
            status = -1;
        else
            finishParse(*this, npos, 0);
        return;
    }
    if (!checkHeaderLines(*this, head))
        return;
    if (headers.contains("Transfer-Encoding")) {
        // Not decoded: the body's end cannot be found, so the connection ends.
        fail(*this, 501, "Not Implemented");
        return;
    }
    if (length > bodyLimit) {
        fail(*this, 413, "Payload Too Large");
        return;
    }

    // The body is read whole whether or not the route wants it, so the next
    // request starts where this one ends. One that never arrives whole
    // (the peer closed or failed first) is not run.
    if (!receiveBody(stream, received, bodyStart + length)) {
        status = -1;
        return;
    }
    if (received.size() > bodyStart + length) {
        stream.unreceive(received.substr(bodyStart + length));
        received.resize(bodyStart + length);
    }
    head.assign(received.substr(0, received.find('\0')));
    finishParse(*this, bodyStart, length);
}

void Request::parseText(std::string_view received)
{
    BufferStream stream;
    stream.addInput(std::string(received));
    parse(stream);
    socket = nullptr;
}

long Request::send()
{
    if (!socket)
        return 0;
    std::string text = method == get ? "GET" : "POST";
    text += ' ';
    text += path;
    text += '?';
    text += query;
    text += ' ';
    text += protocol;
    text += "\r\n";
    for (const auto& [name, value] : headers) {
        text += name;
        text += ": ";
        text += value;
        text += "\r\n";
    }
    text += "\r\n";

    long headCount = socket->send(text);
    if (headCount <= 0)
        return 0;  // nothing follows a head that did not go out
    long bodyCount = body.empty() ? 0 : socket->send(body);
    return headCount + std::max(bodyCount, 0L);
}

} // namespace http
