#pragma once

#include <string>
#include <string_view>

namespace webapptest {

/// The text that stands in `expanded` where `placeholder` stood in
/// `original`, when everything around it is unchanged; a failure (with an
/// empty result) otherwise. Fits files that hold the placeholder once.
std::string filledInValue(std::string_view original, std::string_view placeholder, std::string_view expanded);

/// Ten letters, each "a" to "y".
bool isPlaylistId(std::string_view text);

} // namespace webapptest
