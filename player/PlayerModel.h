#pragma once

#include "player/Clock.h"
#include "player/Playback.h"
#include "player/Playlist.h"
#include "player/ShuffleOrder.h"
#include "player/TrackTags.h"

#include <cstdint>
#include <iosfwd>

namespace player {

enum class PlayState { stopped, playing, paused };

/// The player without windows: the playlist, the current position, the
/// transport state, volume, shuffle and repeat. The current entry plays
/// through `Playback` (real audio, or a simulated clock in tests). Used on the
/// player's window thread only.
///
/// What the playback reports is caught up lazily: every operation first takes
/// its news, so an entry that ended meanwhile has been followed by the next
/// (shuffle and repeat honoured) or by a stop at the end of the list. An entry
/// that cannot be played is skipped the same way, with one line on `log`; when
/// every entry of the list failed in a row the player stops. An entry of
/// unknown length plays until it is stopped or left, or its audio ends.
class PlayerModel {
public:
    /// `clock` times the retention of removed entries' texts; `playback` and
    /// `log` must outlive the model.
    PlayerModel(const Clock& clock, Playback& playback, std::uint32_t shuffleSeed, std::ostream& log);

    /// Read access; change the list only through the operations below, so that
    /// the position and the shuffle order follow.
    const Playlist& playlist();

    void append(PlaylistEntry entry);
    /// Removes an entry; when it was the current one, the entry now at its
    /// place becomes current (played from its start when something played).
    bool remove(int index);
    /// Swaps two entries; the current position is an index and stays.
    bool swap(int a, int b);
    /// Stops and empties the list.
    void clear();
    /// Clears the list's "changed" flag.
    void setClean() { list.setClean(); }

    int position();
    /// Makes `index` current without touching the transport (as the player
    /// does when an editor moves entries past the playing one). Ignored when
    /// out of range. While paused on another entry, the next "play" starts the
    /// new current entry from its beginning.
    void setPosition(int index);

    /// Makes `index` current and opens it paused `offsetMs` into it, as a
    /// player does that comes back where it was left. Ignored when out of
    /// range.
    void cue(int index, int offsetMs);

    PlayState state();
    /// Milliseconds into the current entry; 0 when stopped or paused before
    /// the current entry started.
    int elapsedMs();
    /// Length of the current entry in ms: the decoder's once the entry is open,
    /// else the tags'; -1 when unknown or the list is empty.
    int currentLengthMs();

    /// Stopped: starts the current entry; paused: resumes it (starts it when
    /// another entry was made current meanwhile); playing: restarts.
    void play();
    /// Toggles between playing and paused.
    void pause();
    void stop();
    /// The next / previous entry in play order, wrapping around the list; it
    /// starts playing unless the player was stopped.
    void next();
    void previous();
    /// -1 when nothing plays (nothing changes), 0 when the position was set,
    /// 1 when it lay past the end (the entry ends as if played through).
    int seek(int ms);
    /// Moves the playing position by `deltaMs` (negative: back, not past 0).
    void skip(int deltaMs);

    int volume() const { return currentVolume; }
    /// Clamped to 0..255.
    void setVolume(int volume);
    bool shuffle() const { return shuffleOn; }
    void setShuffle(bool on);
    bool repeat() const { return repeatOn; }
    void setRepeat(bool on) { repeatOn = on; }

    /// The playback has news (its notification arrived on the window thread):
    /// takes them in, follows an ended or failed entry and names an entry from
    /// the tags the decoder found (an http:// entry also takes its length and
    /// bitrate from there, and keeps the tags: see `decodedTags`).
    void takePlaybackNews();
    /// What the decoder found in the entry for URL `file` (the current entry
    /// first, else the first one decoded); `readable` false before it opened one.
    TrackTags decodedTags(const std::string& file);

private:
    /// Follows every entry that ended or failed since the last call.
    void catchUp();
    /// The current entry played to its end `overshootMs` ago.
    void entryEnded(std::int64_t overshootMs);
    /// Opens the current entry, `offsetMs` into it, in `newState`.
    void startAt(std::int64_t offsetMs, PlayState newState);
    /// The entry the playback holds is the current one.
    bool playingCurrent() const;
    void applyTrackInfo();
    std::int64_t elapsedNow();
    int step(int direction);
    /// Starts a new shuffle pass; returns its first entry, never the current
    /// one when there is another.
    int startNewPass();

    Playback& playback;
    std::ostream& log;
    Playlist list;
    ShuffleOrder order;
    int current = 0;
    PlayState playState = PlayState::stopped;
    std::uint64_t openSerial = 0;  // the entry the playback holds; 0 none
    bool infoPending = false;      // the decoder's tags are still to be applied
    int failuresInARow = 0;
    int currentVolume = 255;
    bool shuffleOn = false;
    bool repeatOn = false;
};

} // namespace player
