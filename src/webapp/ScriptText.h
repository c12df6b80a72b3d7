#pragma once

#include <string>
#include <string_view>

namespace webapp {

/// Pieces of the script answers of the library routes. Pure; any thread.

/// `callback` when it can only name a function: identifiers (ASCII letters,
/// digits, "_" and "$", not starting with a digit) joined by single ".", at
/// most 128 bytes in all. Anything else, which a link could make run as
/// script, gives the empty text, as if no callback had been asked for.
std::string scriptCallback(std::string_view callback);

/// `callback`, "(", `object`, ");".
std::string scriptCall(std::string_view callback, std::string_view object);

/// `text` for the inside of a double-quoted script string: `"` and `\`
/// escaped, control bytes, "<" and the two line-separator characters written
/// as \uXXXX, so no text can end the string, the script element or the line.
/// Other bytes stay as they are.
std::string scriptStringContent(std::string_view text);

} // namespace webapp
