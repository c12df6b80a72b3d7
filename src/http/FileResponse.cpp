#include "http/FileResponse.h"

#include "http/DocumentRoot.h"
#include "http/MediaTypes.h"
#include "http/RangeHeader.h"
#include "message/Request.h"
#include "message/Response.h"
#include "http/Server.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace http {
namespace {

// The file name goes inside a quoted header value: quotes and backslashes are
// escaped, and control characters (a name may hold a line break) are replaced
// so no header can be injected from the file system.
std::string quotedFileName(std::string_view name)
{
    std::string quoted = "\"";
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += (byte < 0x20 || byte == 0x7f) ? '_' : c;
    }
    quoted += '"';
    return quoted;
}

std::string headerValue(const Request& request, const std::string& name)
{
    auto found = request.headers.find(name);
    return found == request.headers.end() ? std::string() : found->second;
}

} // namespace

bool sendFile(Response& response, const std::string& documentRoot, const Request& request,
              std::string_view name)
{
    if (response.socket == nullptr)
        return false;
    std::string relative(name);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    std::string path = documentRoot + "/" + relative;

    // Links, "." and ".." are followed only inside the root, so every name
    // (also one whose "%2e%2e" arrived decoded) stays inside it.
    RootFile found = openBelowRoot(documentRoot, relative);
    if (found.outcome == RootFile::absent)
        return false;

    std::string fileName = relative.substr(relative.find_last_of('/') + 1);
    std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos) {
        std::string type = mediaTypeFor(std::string_view(path).substr(dot + 1));
        if (!type.empty())
            response.headers["Content-Type"] = type;
    }

    if (found.outcome == RootFile::unopenable) {
        response.status = 500;
        response.reason = "Internal Server Error";
        response.setBody("<h1>500 Internal Server Error</h1>");
        response.send();
        return true;
    }
    sendOpenFile(response, request, found.file.get(), found.status.size, fileName);
    return true;
}

void sendOpenFile(Response& response, const Request& request, int file, std::uint64_t size,
                  std::string_view fileName)
{
    response.headers["Accept-Ranges"] = "bytes";
    response.headers["Accept_ranges"] = "bytes";  // the spelling older clients look for
    response.headers["Content-transfer-encoding"] = "binary";
    response.headers["Content-Disposition"] = "inline; filename=" + quotedFileName(fileName);
    response.headers["Content-Length"] = std::to_string(size);

    std::uint64_t start = 0;
    std::uint64_t length = size;
    std::string range = headerValue(request, "Range");
    RangeChoice choice = range.empty() ? RangeChoice{} : chooseRange(range, size);
    if (choice.answer != RangeChoice::whole) {
        if (choice.answer == RangeChoice::unsatisfiable) {
            response.status = 416;
            response.reason = "Range Not Satisfiable";
            response.headers["Content-Range"] = "bytes */" + std::to_string(size);
            response.setBody(std::string());
            response.send();
            return;
        }
        start = choice.first;
        length = choice.length;
        response.status = 206;
        response.reason = "Partial Content";
        response.headers["Content-Range"] = "bytes " + std::to_string(start) + "-"
            + std::to_string(start + length - 1) + "/" + std::to_string(size);
        response.headers["Content-Length"] = std::to_string(length);
    }

    if (response.sendHead() == 0)
        return;

    // Never more than the announced length, so a file that grows meanwhile
    // cannot break the framing of the next answer on this connection. A
    // block that cannot be sent ends the body: the rest can reach no one.
    response.socket->sendFile(file, start, length);
}

bool sendFile(Response& response, const Server& server, const Request& request, std::string_view name)
{
    return sendFile(response, server.documentRoot, request, name);
}

std::string httpDate(std::int64_t seconds)
{
    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // 1970-01-01 was a Thursday.
    std::int64_t weekday = (days % 7 + 11) % 7;

    // Civil date from a day count (proleptic Gregorian calendar, eras of
    // 400 years starting on 1 March).
    std::int64_t z = days + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t dayOfEra = z - era * 146097;
    std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    std::int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    std::int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    char year4[24];
    std::snprintf(year4, sizeof year4, "%04lld", static_cast<long long>(year));
    return std::string(weekdays[weekday]) + ", " + std::to_string(day) + " " + months[month - 1] + " "
        + year4 + " " + std::to_string(rest / 3600) + ":" + std::to_string(rest / 60 % 60) + ":"
        + std::to_string(rest % 60) + " GMT";
}

} // namespace http
