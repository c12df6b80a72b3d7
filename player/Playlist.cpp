#include "player/Playlist.h"

#include <utility>

namespace player {

const PlaylistEntry* Playlist::at(int index) const
{
    return isValid(index) ? entries[static_cast<std::size_t>(index)].get() : nullptr;
}

const char* Playlist::fileText(int index) const
{
    const PlaylistEntry* entry = at(index);
    return entry ? entry->file.c_str() : nullptr;
}

const char* Playlist::titleText(int index) const
{
    const PlaylistEntry* entry = at(index);
    return entry ? entry->title.c_str() : nullptr;
}

void Playlist::append(PlaylistEntry entry)
{
    entry.serial = nextSerial++;
    entries.push_back(std::make_unique<PlaylistEntry>(std::move(entry)));
    dirty = true;
    ++changes;
}

bool Playlist::replace(int index, PlaylistEntry entry)
{
    if (!isValid(index))
        return false;
    auto& slot = entries[static_cast<std::size_t>(index)];
    entry.serial = slot->serial;
    retire(std::exchange(slot, std::make_unique<PlaylistEntry>(std::move(entry))));
    dirty = true;
    ++changes;
    return true;
}

int Playlist::find(std::uint64_t serial) const
{
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i]->serial == serial)
            return static_cast<int>(i);
    return -1;
}

bool Playlist::remove(int index)
{
    if (!isValid(index))
        return false;
    auto at = entries.begin() + index;
    retire(std::move(*at));
    entries.erase(at);
    dirty = true;
    ++changes;
    return true;
}

bool Playlist::swap(int a, int b)
{
    if (!isValid(a) || !isValid(b))
        return false;
    std::swap(entries[static_cast<std::size_t>(a)], entries[static_cast<std::size_t>(b)]);
    dirty = true;
    ++changes;
    return true;
}

void Playlist::clear()
{
    for (auto& entry : entries)
        retire(std::move(entry));
    entries.clear();
    dirty = true;
    ++changes;
}

void Playlist::retire(std::unique_ptr<PlaylistEntry> entry)
{
    std::int64_t now = clock.nowMs();
    // A caller copies a text within moments of getting it; what was retired
    // long ago cannot be in use any more.
    while (!retired.empty() && now - retired.front().since > retention)
        retired.pop_front();
    retired.push_back(Retired{now, std::move(entry)});
}

} // namespace player
