#pragma once

#include <string>
#include <string_view>

namespace library {

/// What the documents of an index hold and how their texts were analyzed,
/// as one mark kept in a file beside the engine's files of each index. A
/// rebuild reuses nothing of an index whose mark differs (or that has none):
/// raise it whenever the fields of a document, the analyzer or what the tag
/// reader finds change (3: WAV files' RIFF INFO names; 4: terms with
/// characters above U+FFFF kept whole, see analysis/WideText.h).
inline constexpr std::string_view indexFormat = "documents 4";

/// Writes the mark into the index folder `folder` (the engine's writer is
/// closed). False when the file could not be written. Any thread.
bool markIndexFormat(const std::string& folder);

/// Whether the index in `folder` carries today's mark. Any thread.
bool hasIndexFormat(const std::string& folder);

} // namespace library
