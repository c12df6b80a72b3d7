#pragma once

namespace lucene::analysis::filename {

/// The token types of the file-name analyzer, numbered as the engine's
/// standard tokenizer numbers them.
enum class TokenType {
    unknown = 1,  // a dotted word
    alphanum,     // a plain word
    apostrophe,   // a word with an inner apostrophe
    acronym,      // letters separated by dots, ending in a dot
    company,      // word & word, or word @ word without dots or digits
    email,        // word @ dotted name
    host,         // a number with two or more dots
    num,          // a number
};

/// The engine's standard name of `type` ("<ALPHANUM>", ...): one interned
/// text per type, so names may be compared by address.
const wchar_t* tokenTypeName(TokenType type);

} // namespace lucene::analysis::filename
