#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace http {

class Request;
class Response;
class Server;

/// Serves the regular file `name` (relative to `documentRoot`, "/" or "\"
/// between its parts) as the answer to `request` through `response`, which
/// must carry the connection's stream. A "Range" header asks for the part
/// it names (206; the first range of several), gets 416 when no range lies
/// within the file, and the whole file (200) when it is not a valid range.
/// The body goes out after the head through the stream's `sendFile`
/// (sendfile(2) on a socket); the file is never read whole. Sizes are
/// 64-bit.
/// Returns false, having sent nothing, when the name leaves the document
/// root, names nothing or names no regular file (the caller answers 404);
/// true once an answer was sent, including 500 when the file cannot be
/// opened. Runs on the connection's thread.
bool sendFile(Response& response, const std::string& documentRoot, const Request& request,
              std::string_view name);

/// Answers `request` with the open regular file `file` of `size` bytes, as
/// `sendFile` does once it has opened one: the file headers with `fileName`
/// in "Content-Disposition", the "Range" answers (206 or 416), then the
/// body. Sends nothing without a stream in `response`. Does not close `file`.
void sendOpenFile(Response& response, const Request& request, int file, std::uint64_t size,
                  std::string_view fileName);

/// The same, with `server`'s document root.
bool sendFile(Response& response, const Server& server, const Request& request, std::string_view name);

/// An HTTP date for a time in seconds since 1970 (UTC), with day, hour,
/// minute and second written without leading zeros:
/// "Thu, 1 Jan 1970 0:0:0 GMT".
std::string httpDate(std::int64_t seconds);

} // namespace http
