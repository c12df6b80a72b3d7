#include "http/Request.h"

#include "http/MessageText.h"
#include "http/UrlCoding.h"

#include <algorithm>
#include <cstring>

namespace http {

namespace {

constexpr auto npos = std::string_view::npos;

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
    request.status = 500;
    request.reason = "Internal Server Error";
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

/// Takes the POST body from `head` (from `bodyStart`, npos when the head had
/// no blank line), fills the parameters and marks the request parsed.
void finishParse(Request& request, std::size_t bodyStart)
{
    if (request.method == Request::post && bodyStart != npos) {
        if (bodyStart < request.head.size())
            request.body = request.head.substr(bodyStart, contentLength(request.headers));
        readParams(request.body, request.params);
    }
    readParams(request.query, request.params);
    request.status = 0;
    request.reason.clear();
}

std::size_t bodyStartIn(std::string_view head)
{
    std::size_t blank = findBlankLine(head);
    return blank == npos ? npos : blank + 4;
}

} // namespace

void Request::parse(Stream& stream, const ReceiveLimits& limits)
{
    resetFields(*this);
    socket = &stream;
    ReceiveDeadline deadline(stream);
    deadline.allow(limits.idle);

    // The head is read with one buffer's worth at most; the rest of a larger
    // head stays on the connection for the next parse.
    char buffer[bufferSize];
    std::size_t received = 0;
    std::size_t textEnd = 0;  // the first zero byte, or everything received
    bool zeroSeen = false;
    while (received < bufferSize) {
        std::size_t space = bufferSize - received;
        long count = stream.receive(buffer + received, space);
        if (count < 0 || std::size_t(count) > space) {
            status = -1;
            return;
        }
        if (count == 0)
            break;
        if (received == 0)
            deadline.allow(limits.request);  // a peer trickling bytes is cut off
        std::size_t searchFrom = textEnd < 3 ? 0 : textEnd - 3;
        received += std::size_t(count);
        if (zeroSeen)
            continue;
        const void* zero = std::memchr(buffer + textEnd, 0, received - textEnd);
        zeroSeen = zero != nullptr;
        textEnd = zeroSeen ? std::size_t(static_cast<const char*>(zero) - buffer) : received;
        if (findBlankLine({buffer, textEnd}, searchFrom) != npos)
            break;
    }
    if (received == 0)
        return;  // closed before sending anything: 500

    head.assign(buffer, textEnd);
    if (!readHead(*this))
        return;
    std::size_t bodyStart = bodyStartIn(head);

    if (method == post && bodyStart != npos) {
        // Bytes after a zero byte were received all the same: they count
        // towards the body so the connection stays in step with the peer.
        std::size_t length = contentLength(headers);
        std::size_t held = received - bodyStart;
        std::size_t phase = 0;
        while (held < length && phase < bufferSize) {
            std::size_t want = std::min(length - held, bufferSize - phase);
            long count = stream.receive(buffer, want);
            if (count < 0 || std::size_t(count) > want) {
                status = -1;
                return;
            }
            if (count == 0)
                break;
            std::string_view arrived(buffer, std::size_t(count));
            if (!zeroSeen) {
                std::size_t zero = arrived.find('\0');
                zeroSeen = zero != npos;
                head.append(arrived.substr(0, zero));
            }
            held += std::size_t(count);
            phase += std::size_t(count);
        }
    }
    finishParse(*this, bodyStart);
}

void Request::parseText(std::string_view received)
{
    resetFields(*this);
    if (received.empty())
        return;
    head.assign(received.substr(0, received.find('\0')));
    if (!readHead(*this))
        return;
    finishParse(*this, bodyStartIn(head));
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
