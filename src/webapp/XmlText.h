#pragma once

#include <string>
#include <string_view>

namespace webapp {

/// `bytes` as text an XML 1.0 document in UTF-8 can carry: valid UTF-8 stays
/// as it is; every byte sequence that is not valid UTF-8 (a stray or
/// truncated sequence, an overlong form, a surrogate, a value past U+10FFFF)
/// becomes U+FFFD, one for each maximal invalid part, as decoders do; so do
/// the characters XML 1.0 forbids (the controls other than tab, LF and CR,
/// U+FFFE and U+FFFF). Names on the file system and tags are bytes, so the
/// status documents pass every text through here.
std::string xmlCharacters(std::string_view bytes);

} // namespace webapp
