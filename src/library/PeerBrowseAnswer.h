#pragma once

#include <string>
#include <string_view>

namespace library {

/// Reads `answer` as what an instance's tag listing routes ("artists.js",
/// "albums.js", "album.js", "genres.js", "years.js", "files.js", "find.js")
/// write when asked without a callback: "(", one object, ");". The object
/// is taken token by token in the exact layout those routes write:
///   object := "{" member ("," member)* "}"
///   member := key " : " (value | "[" ["\n" entry ("," "\n" entry)*] "]")
///   entry  := "{" key " : " value ("," key " : " value)* "}"
///   key    := '"' one to `longestKey` lower-case ASCII letters '"'
///   value  := '"' ASCII letters, digits and "%" with two lower-case
///             hexadecimal digits, or exactly ".." or "$UP$" '"'
/// What was taken is written to `object` anew, token by token (equal to the
/// peer's object when it is well-formed), so no script, markup or quote of
/// the peer's can reach a page that runs it. Anything else, a script around
/// or inside the call included, is refused: false, `object` unspecified. A
/// pure function; the answer's size is bounded by whoever fetched it.
bool readPeerBrowseAnswer(std::string_view answer, std::string& object);

inline constexpr std::size_t longestKey = 16;

} // namespace library
