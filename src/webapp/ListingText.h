#pragma once

#include "discovery/PeerTable.h"
#include "library/LibraryEntry.h"
#include "library/PeerListing.h"

#include <string>
#include <string_view>
#include <vector>

namespace webapp {

/// The object texts of the library listing routes. Pure; any thread.

/// The "library.js" object: `path` (percent-encoded), `session` (as script
/// string content), then one line per entry in the order given, with a
/// leading ".." entry of type "$UP$" unless `isRoot`. Root entries are
/// directories whose name is their whole path; other entries are named by
/// the text after their path's last separator and typed "$DIR$" or by the
/// lower-cased text after the path's last ".". An entry named ".." is left
/// out. Name, path and type are percent-encoded.
std::string listingObject(std::string_view path, std::string_view session, bool isRoot,
                          const std::vector<library::LibraryEntry>& entries);

/// A peer's listing written as this instance writes its own: the same
/// lines, every value percent-encoded anew and the peer's session id as
/// script string content. Parsing the result gives `listing` back.
std::string peerListingObject(const library::PeerListing& listing);

/// The "favorites.js" object: one library per peer in the order given, keyed
/// "address:port/", named "name:port", with "address:port" as the host to
/// ask; then this instance, "/", the "Local Library". Every text is written
/// as script string content, so no peer's name can end the string.
std::string favoritesObject(const std::vector<discovery::PeerEntry>& peers);

} // namespace webapp
