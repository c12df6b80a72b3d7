#include "analysis/CharacterStream.h"

#include "analysis/WideText.h"

namespace analysis {

namespace {

constexpr std::int32_t chunkSize = 1024;
/// What stays buffered before the read point when the buffer is compacted:
/// two characters of at most two wide characters each.
constexpr std::size_t keptBehind = 4;

} // namespace

bool CharacterStream::fill()
{
    if (reader == nullptr)
        return false;
    // Drop what can no longer be pushed back, so a long input is not kept whole.
    if (at > chunkSize) {
        buffered.erase(0, at - keptBehind);
        at = keptBehind;
    }
    const TCHAR* chunk = nullptr;
    const std::int32_t count = reader->read(chunk, 1, chunkSize);
    if (count <= 0 || chunk == nullptr) {
        reader = nullptr;
        return false;
    }
    buffered.append(chunk, static_cast<std::size_t>(count));
    return true;
}

char32_t CharacterStream::nextCharacter(std::size_t& width)
{
    // A pair the reader split between two of its chunks is joined first.
    if constexpr (sizeof(wchar_t) == 2) {
        if (buffered.size() - at == 1)
            fill();
    }
    const Character next = characterAt(buffered, at);
    width = next.width;
    return next.code;
}

int CharacterStream::read()
{
    if (at == buffered.size() && !fill()) {
        atEnd = true;
        return end;
    }
    std::size_t width = 1;
    last = static_cast<int>(nextCharacter(width));
    at += width;
    lastWidths[1] = lastWidths[0];
    lastWidths[0] = width;
    ++readPosition;
    return last;
}

void CharacterStream::unread()
{
    if (atEnd || at == 0)
        return;
    at -= lastWidths[0];
    lastWidths[0] = lastWidths[1];
    lastWidths[1] = 1;
    --readPosition;
}

int CharacterStream::peek()
{
    if (at == buffered.size() && !fill())
        return end;
    std::size_t width = 1;
    return static_cast<int>(nextCharacter(width));
}

} // namespace analysis
