#pragma once

#include "player/Clock.h"
#include "player/Playlist.h"
#include "player/ShuffleOrder.h"

#include <cstdint>

namespace player {

enum class PlayState { stopped, playing, paused };

/// The player without windows: the playlist, the current position, the
/// transport state and a play clock driven by `Clock`, volume, shuffle and
/// repeat. Used on the player's window thread only.
///
/// Time is caught up lazily: every operation first lets the clock run, so an
/// entry that ended meanwhile has been followed by the next (shuffle and repeat
/// honoured) or by a stop at the end of the list. An entry of unknown length
/// plays until it is stopped or left.
class PlayerModel {
public:
    PlayerModel(const Clock& clock, std::uint32_t shuffleSeed);

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
    /// Makes `index` current without touching the transport or the clock (as
    /// the player does when an editor moves entries past the playing one).
    /// Ignored when out of range.
    void setPosition(int index);

    PlayState state();
    /// Milliseconds into the current entry; 0 when stopped.
    int elapsedMs();
    /// Length of the current entry in ms; -1 when unknown or the list is empty.
    int currentLengthMs();

    /// Stopped: starts the current entry; paused: resumes; playing: restarts.
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

private:
    /// Lets the clock run: follows every entry that ended since the last call.
    void catchUp();
    /// The current entry played to its end `overshootMs` ago.
    void entryEnded(std::int64_t overshootMs);
    /// Starts the current entry, `offsetMs` into it, in `newState`.
    void startAt(std::int64_t offsetMs, PlayState newState);
    std::int64_t elapsedNow() const;
    int step(int direction);
    /// Starts a new shuffle pass; returns its first entry, never the current
    /// one when there is another.
    int startNewPass();

    const Clock& clock;
    Playlist list;
    ShuffleOrder order;
    int current = 0;
    PlayState playState = PlayState::stopped;
    std::int64_t startedAt = 0;   // clock time the current entry would have begun (playing)
    std::int64_t pausedAtMs = 0;  // elapsed time while paused
    int currentVolume = 255;
    bool shuffleOn = false;
    bool repeatOn = false;
};

} // namespace player
