#include "message/Response.h"

#include "message/MessageText.h"

#include <algorithm>
#include <climits>

namespace http {

namespace {

/// Reads the status line and headers of `text`. False when the status line
/// has no status word (then nothing else is read); otherwise `bodyStart` is
/// where the body begins, npos when the head has no blank line.
bool readHead(Response& response, std::string_view text, std::size_t& bodyStart)
{
    std::size_t lineEnd = text.find("\r\n");
    std::string_view line = text.substr(0, lineEnd);
    std::size_t firstSpace = line.find(' ');
    response.protocol = line.substr(0, firstSpace);
    if (firstSpace == npos)
        return false;
    std::size_t secondSpace = line.find(' ', firstSpace + 1);
    std::string_view word = line.substr(firstSpace + 1, secondSpace == npos ? npos : secondSpace - firstSpace - 1);
    if (word.empty())
        return false;
    response.status = int(decimalValue(word, INT_MAX));
    if (secondSpace != npos)
        response.reason = line.substr(secondSpace + 1);

    // The received headers replace the defaults this object was made with;
    // otherwise the constructor's "Content-Type" would hide the peer's.
    response.headers.clear();
    if (lineEnd != npos)
        readHeaderLines(text.substr(lineEnd + 2), response.headers);
    std::size_t blank = findBlankLine(text);
    bodyStart = blank == npos ? npos : blank + 4;
    return true;
}

void takeBody(Response& response, std::string_view text, std::size_t bodyStart)
{
    if (bodyStart == npos)
        response.body.clear();
    else
        response.body = text.substr(bodyStart, contentLength(response.headers));
}

} // namespace

Response::Response(Stream* socket) : socket(socket)
{
    headers["Content-Type"] = "text/html";
}

void Response::setBody(std::string text)
{
    body = std::move(text);
    headers["Content-Length"] = std::to_string(body.size());
}

void Response::addLine(std::string name, std::string value)
{
    repeatedLines.emplace_back(std::move(name), std::move(value));
}

namespace {

void appendClean(std::string& text, std::string_view part)
{
    for (char c : part)
        if (c != '\r' && c != '\n' && c != '\0')
            text += c;
}

void appendLine(std::string& text, std::string_view name, std::string_view value)
{
    appendClean(text, name);
    text += ": ";
    appendClean(text, value);
    text += "\r\n";
}

} // namespace

std::string Response::headText() const
{
    std::string text = protocol;
    text += ' ';
    text += std::to_string(status);
    text += ' ';
    appendClean(text, reason);
    text += "\r\n";
    for (const auto& [name, value] : headers) {
        appendLine(text, name, value);
        for (const auto& [moreName, moreValue] : repeatedLines)
            if (moreName == name)
                appendLine(text, moreName, moreValue);
    }
    for (const auto& [name, value] : repeatedLines)
        if (!headers.contains(name))
            appendLine(text, name, value);
    text += "\r\n";
    return text;
}

long Response::sendHead()
{
    if (!socket)
        return 0;
    return std::max(socket->send(headText()), 0L);
}

long Response::send()
{
    if (!socket)
        return 0;
    // One gathered write: a small answer in two sends would wait for the
    // peer's delayed acknowledgement of the first.
    auto [headCount, bodyCount] = socket->send2(headText(), body);
    if (headCount <= 0)
        return 0;
    return headCount + std::max(bodyCount, 0L);
}

void Response::parseText(std::string_view received)
{
    if (received.empty())
        return;
    std::size_t bodyStart = npos;
    if (readHead(*this, received, bodyStart))
        takeBody(*this, received, bodyStart);
}

} // namespace http
