#pragma once

#include <map>
#include <string>
#include <string_view>

namespace http {

/// The parameters of a Digest "Authorization" header, name to value.
using DigestParameters = std::map<std::string, std::string>;

/// Parses the text after "Digest ": cuts it at every "," and space, splits
/// each part at its first "=" and drops one leading and one trailing double
/// quote from the value; a later name replaces an earlier one and parts
/// without "=" are ignored. Values holding spaces or commas are therefore cut
/// at them. Pure; any input is accepted.
DigestParameters parseDigestParameters(std::string_view text);

} // namespace http
