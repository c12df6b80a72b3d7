#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// The names this machine answers to on its network, in lower case without a
/// trailing dot: its host name (and the first label of a dotted one), that
/// label followed by ".local", and that label in every domain of the
/// resolver's search list. Reads the host name and /etc/resolv.conf on each
/// call, so call it when the names are needed anew, not per request. Any
/// thread; a name that cannot be read is left out.
std::vector<std::string> machineNames();

/// The same list for a given host name and resolver configuration text.
/// Pure.
std::vector<std::string> machineNamesFor(std::string_view hostName, std::string_view resolverText);

} // namespace platform
