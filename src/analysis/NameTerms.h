#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace analysis {

/// The terms the file-name analyzer makes of `name` (UTF-8 or any bytes, see
/// analysis/WideText.h), in order, as UTF-8: what a document's "name" field
/// is indexed under and what a query word is looked up by. Never throws;
/// an engine failure gives the terms made so far.
std::vector<std::string> nameTerms(std::string_view name);

} // namespace analysis
