#pragma once

#include <CLucene.h>

#include <cstdint>
#include <string>

namespace analysis {

/// The tokenizer's view of its reader: read one character, push back the
/// last ones read, peek at the next, tell whether the end was reached.
/// Characters are code points: where wide characters are 16 bits (Windows)
/// a surrogate pair is read, pushed back and counted as one (see
/// `characterAt` in analysis/WideText.h).
/// Borrows the reader, which must outlive the stream. Keeps at least the
/// last two characters read, so up to two may be pushed back.
class CharacterStream {
public:
    static constexpr int end = -1;

    explicit CharacterStream(lucene::util::Reader* reader) : reader(reader) {}

    /// The next character, or `end` (then `exhausted()` holds). Advances
    /// `position` by one for a character.
    int read();
    /// Returns the last character read to the stream; nothing once the stream
    /// is exhausted.
    void unread();
    /// The next character without reading it, or `end`.
    int peek();

    /// True once a read found the end of the input.
    bool exhausted() const { return atEnd; }
    /// The last character actually read (a read at the end does not change it).
    int lastRead() const { return last; }
    /// Index of the last character read: -1 before the first.
    std::int32_t position() const { return readPosition; }

private:
    bool fill();
    /// The character at the read point, which must hold at least one unit.
    char32_t nextCharacter(std::size_t& width);

    lucene::util::Reader* reader;  // not owned
    std::wstring buffered;
    std::size_t at = 0;
    std::int32_t readPosition = -1;
    /// The wide characters the last two characters read took, the last one
    /// first, for pushing them back.
    std::size_t lastWidths[2] = {1, 1};
    int last = end;
    bool atEnd = false;
};

} // namespace analysis
