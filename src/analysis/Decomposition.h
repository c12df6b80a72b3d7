#pragma once

#include <string>

namespace analysis {

/// The system's Unicode tables as term folding needs them (ICU on Linux, the
/// system's own normalisation on Windows). Pure; any thread.

/// True for a combining mark (non-spacing, spacing or enclosing).
bool isCombiningMark(wchar_t c);

/// Appends the compatibility decomposition of `c` ("é" gives "e" and a
/// combining acute, the "ﬁ" ligature "f" and "i"), every part lower-cased;
/// false, appending nothing, when `c` has none.
bool appendLowerDecomposition(wchar_t c, std::wstring& out);

/// `c` lower-cased (itself when it has no lower case).
wchar_t lowerCase(wchar_t c);

} // namespace analysis
