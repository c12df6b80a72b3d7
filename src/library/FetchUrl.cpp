#include "library/FetchUrl.h"
#include "text/Decimal.h"

#include "message/MessageText.h"
#include "message/Request.h"
#include "message/SocketStream.h"
#include "library/LibraryPath.h"
#include "platform/Connect.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

namespace library {

namespace {

constexpr auto npos = std::string_view::npos;

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

/// The announced body length of a received head, if it names one.
std::optional<std::size_t> announcedLength(std::string_view head)
{
    http::Response parsed;
    parsed.parseText(head);
    for (const auto& [name, value] : parsed.headers) {
        if (sameNameIgnoringCase(name, "Content-Length"))
            return http::decimalValue(value, SIZE_MAX);
    }
    return std::nullopt;
}

} // namespace

bool splitPeerUrl(std::string_view url, PeerUrl& parts)
{
    if (!url.starts_with(peerPrefix))
        return false;
    std::string_view rest = url.substr(peerPrefix.size());
    std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    std::string_view target = slash == npos ? std::string_view() : rest.substr(slash);
    std::size_t colon = authority.find(':');
    parts = {};
    parts.authority = authority;
    parts.host = authority.substr(0, colon);
    if (colon != npos) {
        std::string_view digits = authority.substr(colon + 1);
        const std::optional<std::uint64_t> port = digits.size() > 5 ? std::nullopt : text::wholeDecimal(digits, 65535);
        if (!port || *port == 0)
            return false;
        parts.port = static_cast<std::uint16_t>(*port);
    }
    std::size_t question = target.find('?');
    parts.path = target.substr(0, question);
    if (question != npos)
        parts.query = target.substr(question + 1);
    return !parts.host.empty();
}

bool fetchUrl(std::string_view url, http::Response& response, const FetchLimits& limits, FetchGate* gate)
{
    PeerUrl parts;
    if (!splitPeerUrl(url, parts) || (gate && gate->isClosed()))
        return false;
    std::optional<std::uint32_t> address = platform::resolveIpv4(parts.host);
    if (!address)
        return false;
    const auto deadline = http::Stream::Clock::now() + limits.exchange;
    platform::UniqueFd socket = platform::connectTcpWithin(*address, parts.port, limits.connect);
    if (!socket)
        return false;
    const FetchGate::Pass pass(gate, socket.get());
    if (!pass)
        return false;
    // A peer that stops reading must not hold the sending thread either.
    platform::setSendTimeout(socket.get(), limits.exchange);
    http::SocketStream stream(socket.get());
    stream.setReceiveDeadline(deadline);

    http::Request request;
    request.socket = &stream;
    request.method = http::Request::get;
    request.path = parts.path;
    request.query = parts.query;
    request.headers["Host"] = parts.authority;
    request.headers["Connection"] = "close";
    if (request.send() <= 0)
        return false;

    std::string answer;
    std::size_t bodyStart = npos;
    std::optional<std::size_t> length;
    char buffer[16384];
    for (;;) {
        if (bodyStart != npos && length && answer.size() - bodyStart >= *length)
            break;  // framed by its length: no need to wait for the close
        long got = stream.receive(buffer, sizeof buffer);
        if (got < 0)
            return false;  // failed, or out of time
        if (got == 0)
            break;
        if (answer.size() + std::size_t(got) > limits.answerBytes)
            return false;
        std::size_t searchFrom = answer.size() < 3 ? 0 : answer.size() - 3;
        answer.append(buffer, std::size_t(got));
        if (bodyStart == npos) {
            std::size_t blank = http::findBlankLine(answer, searchFrom);
            if (blank != npos) {
                bodyStart = blank + 4;
                length = announcedLength(std::string_view(answer).substr(0, bodyStart));
            }
        }
    }
    // A closed gate ends the answer early: what came is no whole answer.
    if (answer.empty() || pass.cancelled())
        return false;
    response.parseText(answer);
    if (bodyStart == npos)
        response.body.clear();
    else
        response.body = answer.substr(bodyStart, length.value_or(npos));
    return response.status != 0;
}

} // namespace library
