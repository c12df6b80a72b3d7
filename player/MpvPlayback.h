#pragma once

#include "player/Playback.h"

#include <atomic>
#include <memory>
#include <mutex>

struct mpv_handle;
struct mpv_event;

namespace player {

/// Real audio through libmpv: local files and http:// URLs (seeking through
/// byte ranges), on the system's sound output, else on mpv's null output, so
/// that positions and track ends follow real time either way.
///
/// mpv runs threads of its own; its events are only queued there, and the
/// notification set with `setNotify` tells the owner to take them in with
/// `takeNews` on the window thread, where every other call happens too.
class MpvPlayback final : public Playback {
public:
    /// `nullAudio` forces the null output (no sound, real time). Whether mpv
    /// started shows in `isValid` and `startError`.
    explicit MpvPlayback(bool nullAudio);
    ~MpvPlayback() override;
    MpvPlayback(const MpvPlayback&) = delete;
    MpvPlayback& operator=(const MpvPlayback&) = delete;

    /// Whether this machine seems to have a sound output mpv could use: an
    /// ALSA playback device, or a PulseAudio or PipeWire server to talk to.
    /// Without one, probing the outputs only fills standard error.
    static bool soundOutputPresent();

    bool isValid() const { return mpv != nullptr; }
    const std::string& startError() const { return startFailure; }

    void open(const std::string& file, int lengthMs, std::int64_t offsetMs, bool paused) override;
    void close() override;
    void setPaused(bool paused) override;
    void seek(std::int64_t ms) override;
    std::int64_t positionMs() override;
    void setVolume(int volume) override;
    /// The level mpv plays at, 0..100; -1 when it cannot say.
    double volumeLevel() const;
    Status status() override;
    TrackInfo trackInfo() override { return info; }
    void setNotify(std::function<void()> notify) override;
    void takeNews() override;

private:
    struct Destroy {
        void operator()(mpv_handle* handle) const;
    };
    static void wakeUp(void* self);
    /// Handles the events mpv has queued so far.
    void drainEvents();
    void handle(const mpv_event& event);
    /// Hands the seek to `heldAt` to mpv, after taking in the events queued
    /// before it; `issueHeldSeek` without that (inside `handle`).
    void startHeldSeek();
    void issueHeldSeek();
    void fail(std::string error);

    std::unique_ptr<mpv_handle, Destroy> mpvOwner;
    mpv_handle* mpv = nullptr;
    std::string startFailure;

    std::mutex notifyLock;  // guards `notify` against mpv's threads
    std::function<void()> notify;
    std::atomic<bool> newsPosted{false};

    // The open track; window thread only.
    std::int64_t entryId = 0;  // mpv's playlist entry id of the open track; 0 none
    bool startedCurrent = false;  // mpv started our entry (file events refer to it)
    bool loaded = false;
    Outcome outcome = Outcome::idle;
    std::string error;
    std::int64_t startMs = 0;      // the position until the track is loaded
    std::int64_t pendingSeek = -1;  // asked for before the track was loaded
    std::int64_t lastPosition = 0;
    // A seek lands exactly, but mpv's clock does not say so at once: until
    // its audio runs from the target, the position is the target. A seek
    // asked while paused waits for the resume, since mpv paused near the end
    // would take the rest for played and end the track.
    bool paused = false;
    std::int64_t heldAt = -1;   // the position asked for; -1 when mpv's clock tells
    bool seekIssued = false;    // mpv was asked to seek to `heldAt`
    bool restarted = false;     // and has restarted its audio since
    TrackInfo info;
};

} // namespace player
