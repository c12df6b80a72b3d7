#pragma once

#include <string>

namespace TagLib {
class String;
}

namespace library {

/// A tag's text as UTF-8 without the blanks around it. Any thread.
std::string tagText(const TagLib::String& text);

/// The leading number of a tag's text such as "3/12" (blanks around it
/// ignored); 0 when it has none. Any thread.
int leadingNumber(const TagLib::String& text);

} // namespace library
