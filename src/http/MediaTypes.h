#pragma once

#include <map>
#include <string>
#include <string_view>

namespace http {

/// The process-wide table from file-name extension (without the dot,
/// case-sensitive: "mp3" is found, "MP3" is not) to media type. Built once,
/// never changed afterwards, so any thread may read it.
const std::map<std::string, std::string, std::less<>>& mediaTypes();

/// The media type for `extension`, or the empty text when the table has none.
std::string mediaTypeFor(std::string_view extension);

} // namespace http
