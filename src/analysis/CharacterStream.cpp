#include "analysis/CharacterStream.h"

namespace analysis {

namespace {

constexpr std::int32_t chunkSize = 1024;
/// What stays buffered before the read point when the buffer is compacted.
constexpr std::size_t keptBehind = 2;

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

int CharacterStream::read()
{
    if (at == buffered.size() && !fill()) {
        atEnd = true;
        return end;
    }
    last = static_cast<int>(buffered[at++]);
    ++readPosition;
    return last;
}

void CharacterStream::unread()
{
    if (atEnd || at == 0)
        return;
    --at;
    --readPosition;
}

int CharacterStream::peek()
{
    if (at == buffered.size() && !fill())
        return end;
    return static_cast<int>(buffered[at]);
}

} // namespace analysis
