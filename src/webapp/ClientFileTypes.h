#pragma once

#include <string>
#include <string_view>

namespace webapp {

/// The media types of the client's own files that the shared extension
/// table (http::mediaTypes, which also types document-root files and
/// downloads) does not name: the app icons ("png") and the web app manifest
/// ("webmanifest"). Kept apart so that the answers for every other file keep
/// their bytes. Returns the empty text for any other extension. Pure; any
/// thread.
std::string clientFileTypeFor(std::string_view extension);

} // namespace webapp
