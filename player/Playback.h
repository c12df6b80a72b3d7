#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace player {

/// What plays the current entry: the audio (or a stand-in for it) and its
/// clock. The model drives one track at a time through it. Every operation
/// runs on the player's window thread, except that the notification set with
/// `setNotify` may be called from any thread.
class Playback {
public:
    enum class Outcome {
        idle,     // nothing is open
        playing,  // open, playing or paused
        ended,    // played to its end
        failed,   // could not be opened or decoded
    };

    /// The open track's news, taken once: after `ended` or `failed` the track
    /// counts as closed.
    struct Status {
        Outcome outcome = Outcome::idle;
        std::int64_t overshootMs = 0;  // `ended`: how long ago the end was reached
        std::string error;             // `failed`: why
    };

    /// What the decoder found in the open track; empty texts, -1 and 0 when
    /// it does not know. `decoded` once a decoder opened the track: the rest
    /// is then its word.
    struct TrackInfo {
        bool decoded = false;
        std::string artist;
        std::string album;
        std::string title;
        int lengthMs = -1;
        int bitrate = 0;  // kbit/s, the file's average
    };

    virtual ~Playback() = default;

    /// Opens `file` (a path or an http:// URL) in place of the open track and
    /// plays it from `offsetMs`, or holds it there when `paused`. `lengthMs` is
    /// the length the tags gave (-1 unknown). Failure shows in `status`.
    virtual void open(const std::string& file, int lengthMs, std::int64_t offsetMs, bool paused) = 0;
    /// Closes the open track.
    virtual void close() = 0;
    virtual void setPaused(bool paused) = 0;
    /// Moves the open track to `ms` (not below 0).
    virtual void seek(std::int64_t ms) = 0;
    /// Position in the open track; 0 when nothing is open.
    virtual std::int64_t positionMs() = 0;
    /// Volume 0..255.
    virtual void setVolume(int volume) = 0;

    virtual Status status() = 0;
    virtual TrackInfo trackInfo() = 0;

    /// `notify` is called (on any thread) when news for `status` or
    /// `trackInfo` arrive; its owner then calls `takeNews` on the window
    /// thread. Null stops the calls; once this returns no call is running.
    virtual void setNotify(std::function<void()> notify) { (void)notify; }
    /// Takes in what arrived since the last call. Window thread.
    virtual void takeNews() {}
};

} // namespace player
