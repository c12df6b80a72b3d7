#pragma once

#include <CLucene.h>

namespace lucene::analysis::filename {

/// Tidies the tokenizer's terms: a word with an apostrophe loses a final
/// "'s" or "'S" ("Artist's" gives "Artist"), an acronym loses its dots
/// ("U.S.A." gives "USA"), and letters above ASCII are lower-cased (the
/// engine's lower-case filter that follows does ASCII). Every term is passed
/// on. Owns its input and deletes it with itself. One thread at a time.
class FilenameFilter : public TokenFilter {
public:
    explicit FilenameFilter(TokenStream* input);
    ~FilenameFilter() override;

    Token* next(Token* token) override;
};

} // namespace lucene::analysis::filename
