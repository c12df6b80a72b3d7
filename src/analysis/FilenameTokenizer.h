#pragma once

#include "analysis/CharacterStream.h"
#include "analysis/TokenTypes.h"

#include <CLucene.h>

#include <string>

namespace lucene::analysis::filename {

/// Breaks a file name into terms with rules made for file names: words,
/// numbers ("-5", "1.5"), dotted names ("Live.At.Wembley", "vol.2"), words
/// with an inner apostrophe ("Don't"), acronyms ("U.S.A."), companies
/// ("AT&T", "a@b"), e-mail addresses ("me@example.com") and hosts
/// ("192.168.0.1", "2009.05.01"). Blanks, "(", ")", "[", "]", "_" and "."
/// between words separate them, and so does every other sign. A term has at
/// most 255 characters.
///
/// Reads wide characters: ASCII by the rules above, letters of other scripts
/// as letters (see analysis/CharacterClass.h). Types are the engine's
/// standard names ("<ALPHANUM>", "<APOSTROPHE>", ...).
///
/// Borrows `reader`, which must outlive the tokenizer. One thread at a time.
class FilenameTokenizer : public Tokenizer {
public:
    explicit FilenameTokenizer(lucene::util::Reader* reader);
    ~FilenameTokenizer() override;

    /// Fills `token` with the next term and returns it; null at the end.
    Token* next(Token* token) override;
    void close() override;
    using Tokenizer::reset;
    /// Starts over on `reader` (borrowed likewise).
    void reset(lucene::util::Reader* reader) override;

private:
    Token* readAlphaNum(int c, Token* token);
    bool readNumber(bool continued, int c);
    void readDotted(TokenType forcedType);
    void readApostrophe();
    void readCompany();
    void readAt();

    /// Whether the characters read since `mark` added nothing to the term.
    bool consumedNothingSince(std::int32_t mark) const;
    void appendAlphanumerics();
    Token* produce(Token* token);

    ::analysis::CharacterStream stream;
    /// The text of the term being read and its type.
    std::wstring text;
    TokenType type = TokenType::alphanum;
    std::int32_t tokenStart = -1;
};

} // namespace lucene::analysis::filename
