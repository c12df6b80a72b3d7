#include "analysis/FilenameTokenizer.h"

#include "analysis/CharacterClass.h"
#include "analysis/WideText.h"

namespace lucene::analysis::filename {

using ::analysis::CharacterStream;
using ::analysis::isAlphanumeric;
using ::analysis::isDigit;
using ::analysis::isLetter;
using ::analysis::isSpace;

namespace {

constexpr std::size_t longest = 255;
constexpr int end = CharacterStream::end;

/// The stream's characters are code points (a surrogate pair is one, see
/// analysis/CharacterStream.h); the term's text holds them as decoded text
/// does. Never called with `end`.
char32_t character(int c)
{
    return static_cast<char32_t>(c);
}

/// The wide characters `c` takes in the term's text.
std::size_t widthOf(int c)
{
    return sizeof(wchar_t) == 2 && c > 0xFFFF ? 2 : 1;
}

bool skippedBetweenTerms(int c)
{
    switch (c) {
    case 0:
    case '(':
    case ')':
    case '.':
    case '[':
    case ']':
    case '_':
        return true;
    default:
        return isSpace(character(c));
    }
}

bool alphanumeric(int c)
{
    return c >= 0 && isAlphanumeric(character(c));
}

/// Letters separated by dots with the final dot: "U.S.A." (the final dot
/// is the caller's).
bool isAcronym(const std::wstring& text)
{
    if (text.size() < 2 || text.back() != L'.')
        return false;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const bool ok = i % 2 == 0 ? isLetter(text[i]) : text[i] == L'.';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

FilenameTokenizer::FilenameTokenizer(lucene::util::Reader* reader) : Tokenizer(reader), stream(reader)
{
    text.reserve(longest + 1);
}

FilenameTokenizer::~FilenameTokenizer() = default;

void FilenameTokenizer::close()
{
    Tokenizer::close();
}

void FilenameTokenizer::reset(lucene::util::Reader* reader)
{
    Tokenizer::reset(reader);
    stream = ::analysis::CharacterStream(reader);
    text.clear();
    tokenStart = -1;
}

Token* FilenameTokenizer::next(Token* token)
{
    for (;;) {
        const int c = stream.read();
        if (c == end)
            return nullptr;
        if (skippedBetweenTerms(c))
            continue;
        if (isLetter(character(c))) {
            tokenStart = stream.position();
            return readAlphaNum(c, token);
        }
        if (isDigit(character(c)) || c == '-') {
            tokenStart = stream.position();
            if (readNumber(false, c))
                return produce(token);
        }
    }
}

void FilenameTokenizer::appendAlphanumerics()
{
    for (;;) {
        const int c = stream.read();
        if (c == end || !alphanumeric(c) || text.size() + widthOf(c) > longest)
            return;
        ::analysis::appendCharacter(text, character(c));
    }
}

Token* FilenameTokenizer::readAlphaNum(int c, Token* token)
{
    text.clear();
    ::analysis::appendCharacter(text, character(c));
    type = TokenType::alphanum;
    appendAlphanumerics();
    if (!stream.exhausted() && text.size() < longest - 1) {
        // The character that ended the word decides what follows; a plain
        // separator is dropped.
        switch (const int after = stream.lastRead()) {
        case '.':
        case '\'':
        case '@':
        case '&':
            text += static_cast<wchar_t>(after);
            if (after == '.')
                readDotted(TokenType::unknown);
            else if (after == '\'')
                readApostrophe();
            else if (after == '@')
                readAt();
            else
                readCompany();
            break;
        default:
            break;
        }
    }
    return produce(token);
}

bool FilenameTokenizer::readNumber(bool continued, int c)
{
    if (continued) {
        type = TokenType::host;
    } else {
        type = TokenType::num;
        text.clear();
    }
    if (text.size() >= longest)
        return false;
    text += static_cast<wchar_t>(c);
    auto appendDigits = [this] {
        for (;;) {
            const int next = stream.read();
            if (next == end || next < 0 || !isDigit(character(next)) || text.size() >= longest)
                return next;
            text += static_cast<wchar_t>(next);
        }
    };
    const int after = appendDigits();
    if (text.size() < 2 && c == '-' && after != '.') {
        // A sign with no digit after it: what follows is read afresh.
        stream.unread();
        return false;
    }
    if (after == '.') {
        if (text.size() > longest - 1)
            return false;
        text += L'.';
        const int ender = appendDigits();
        if (ender == '.') {
            const int next = stream.peek();
            if (next >= 0 && isDigit(character(next)))
                return readNumber(true, '.');
            // A second dot with no digit after it is dropped.
        } else if (ender != end && (ender < 0 || !isDigit(character(ender)))) {
            stream.unread();
        }
    } else {
        stream.unread();
    }
    if (text.back() == L'.') {
        text.pop_back();
        stream.unread();
    }
    return text.back() != L'-';
}

bool FilenameTokenizer::consumedNothingSince(std::int32_t mark) const
{
    const std::int32_t position = stream.position();
    if (position == mark)
        return true;
    if (position != mark + 1)
        return false;
    const int last = stream.lastRead();
    return last < 0 || isSpace(character(last)) ||
           !(alphanumeric(last) || last == '.' || last == '-' || last == '_');
}

void FilenameTokenizer::readDotted(TokenType forcedType)
{
    const std::int32_t mark = stream.position();
    // The character that ended the word without becoming part of it.
    int ender = end;
    const int first = stream.peek();
    if (first != '.' && first != '-') {
        int previous = text.empty() ? 0 : static_cast<int>(text.back());
        while (text.size() < longest - 1) {
            const int c = stream.read();
            if (c == end)
                break;
            if (!(alphanumeric(c) || c == '_' || c == '.' || c == '-')) {
                ender = c;
                break;
            }
            if ((c == '.' || c == '-') && (previous == '.' || previous == '-')) {
                if (previous == '-')
                    text.pop_back();
                ender = c;
                break;
            }
            ::analysis::appendCharacter(text, character(c));
            previous = c;
        }
    }
    auto typeByDots = [&] {
        type = text.find(L'.') == std::wstring::npos ? TokenType::alphanum : forcedType;
    };
    if (consumedNothingSince(mark)) {
        if (!text.empty() && text.back() == L'.')
            text.pop_back();
        typeByDots();
    } else if (text.back() == L'.') {
        if (isAcronym(text)) {
            type = TokenType::acronym;
        } else {
            text.pop_back();
            typeByDots();
        }
    } else {
        type = forcedType;
    }
    // Only a character that ended the loop is looked at again: the one that
    // led here is already part of the text (or was a separator), and taking
    // it again would repeat it.
    if (ender == end || stream.exhausted())
        return;
    if (ender == '@' && text.size() < longest - 1) {
        text += L'@';
        readAt();
        return;
    }
    stream.unread();
}

void FilenameTokenizer::readApostrophe()
{
    const std::int32_t mark = stream.position();
    int ender = end;
    for (;;) {
        const int c = stream.read();
        if (c == end)
            break;
        if (!isLetter(character(c)) || text.size() + widthOf(c) > longest) {
            ender = c;
            break;
        }
        ::analysis::appendCharacter(text, character(c));
    }
    if (text.back() == L'\'' || consumedNothingSince(mark)) {
        text.pop_back();
        type = TokenType::alphanum;
    } else {
        type = TokenType::apostrophe;
    }
    if (ender != end)
        stream.unread();
}

void FilenameTokenizer::readCompany()
{
    appendAlphanumerics();
    if (text.back() == L'&') {
        // Nothing followed the "&": the word alone, its ender dropped.
        text.pop_back();
        type = TokenType::alphanum;
        return;
    }
    stream.unread();
    type = TokenType::company;
}

void FilenameTokenizer::readAt()
{
    readDotted(TokenType::email);
    if (text.find_first_of(L".0123456789") == std::wstring::npos)
        type = TokenType::company;
}

Token* FilenameTokenizer::produce(Token* token)
{
    token->clear();
    token->setText(text.c_str(), static_cast<std::int32_t>(text.size()));
    token->setStartOffset(tokenStart);
    token->setEndOffset(tokenStart + static_cast<std::int32_t>(text.size()));
    token->setType(tokenTypeName(type));
    return token;
}

} // namespace lucene::analysis::filename
