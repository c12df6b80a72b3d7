#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace library {

/// The item URLs of an M3U text a peer sent: for each "#EXTINF:", the line
/// that follows the one it is on (line feeds end lines; a CR before the line
/// feed is not part of the item). Only items that are peer URLs ("http://")
/// without control bytes are kept: a peer never gets a local path into this
/// player's playlist.
/// Appends to `out` until it holds `limit` items; a pure function.
void appendPeerItems(std::string_view m3u, std::vector<std::string>& out, std::size_t limit = SIZE_MAX);

} // namespace library
