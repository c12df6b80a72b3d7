#pragma once

#include "player/Clock.h"
#include "player/TrackTags.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace player {

struct PlaylistEntry {
    std::string file;
    std::string title;
    int lengthMs = -1;   // -1 when unknown: such an entry plays until stopped
    int bitrate = 0;     // kbit/s, from the tags
    int sampleRate = 0;  // Hz
    int channels = 0;
    /// An http:// entry's tags and length as its decoder found them once it
    /// opened the entry (`readable` then); a local file's tags are read from it.
    TrackTags decoded{};
    std::uint64_t serial = 0;  // given by the list: tells entries apart as they move
};

/// The playlist's entries and its "changed" flag. Used on the player's
/// window thread only.
///
/// The texts of an entry are handed out by pointer (`fileText`, `titleText`)
/// to callers on other threads, who copy them after their request returns. So
/// every entry keeps its texts at one address while it is in the list (swaps
/// move only owners), and a removed entry is kept for `retention` more
/// milliseconds before it is freed.
class Playlist {
public:
    static constexpr std::int64_t retention = 10000;

    explicit Playlist(const Clock& clock) : clock(clock) {}

    int size() const { return static_cast<int>(entries.size()); }
    bool isValid(int index) const { return index >= 0 && index < size(); }
    /// Null for an index out of range.
    const PlaylistEntry* at(int index) const;
    const char* fileText(int index) const;
    const char* titleText(int index) const;

    /// Appends `entry`, giving it the next serial number.
    void append(PlaylistEntry entry);
    /// Puts `entry` in place of entry `index`, keeping its serial number (the
    /// old texts are retired like a removed entry's). False out of range.
    bool replace(int index, PlaylistEntry entry);
    /// The index of the entry with `serial`; -1 when none.
    int find(std::uint64_t serial) const;
    /// False (changing nothing) for an index out of range.
    bool remove(int index);
    bool swap(int a, int b);
    void clear();

    /// Set by every change of the list, until `setClean`.
    bool isDirty() const { return dirty; }
    void setClean() { dirty = false; }
    /// Counts every change of the list (unlike the flag, never cleared).
    std::uint64_t revision() const { return changes; }

    /// Number of removed entries still kept (for tests).
    std::size_t retainedCount() const { return retired.size(); }

private:
    void retire(std::unique_ptr<PlaylistEntry> entry);

    struct Retired {
        std::int64_t since;
        std::unique_ptr<PlaylistEntry> entry;
    };

    const Clock& clock;
    std::vector<std::unique_ptr<PlaylistEntry>> entries;
    std::deque<Retired> retired;
    bool dirty = false;
    std::uint64_t changes = 0;
    std::uint64_t nextSerial = 1;
};

} // namespace player
