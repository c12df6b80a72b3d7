#include "player/MpvPlayback.h"

#include <mpv/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace player {

namespace {

std::string seconds(std::int64_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string stringProperty(mpv_handle* mpv, const char* name)
{
    char* value = mpv_get_property_string(mpv, name);
    std::string text = value ? value : "";
    mpv_free(value);
    return text;
}

} // namespace

bool MpvPlayback::soundOutputPresent()
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    for (const auto& device : fs::directory_iterator("/dev/snd", ignored)) {
        std::string name = device.path().filename().string();
        if (name.starts_with("pcm") && name.ends_with("p"))
            return true;
    }
    if (std::getenv("PULSE_SERVER"))
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime)
        return false;
    for (const char* server : {"pulse/native", "pipewire-0"})
        if (fs::exists(fs::path(runtime) / server, ignored))
            return true;
    return false;
}

void MpvPlayback::Destroy::operator()(mpv_handle* handle) const
{
    mpv_terminate_destroy(handle);
}

MpvPlayback::MpvPlayback(bool nullAudio)
{
    mpv_handle* created = mpv_create();
    if (!created) {
        startFailure = "mpv cannot be created";
        return;
    }
    mpvOwner.reset(created);
    // Audio only, nothing of the user's mpv set-up, no window, no helpers.
    const std::pair<const char*, const char*> options[] = {
        {"config", "no"},
        {"terminal", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"osc", "no"},
        {"vid", "no"},
        {"sid", "no"},
        {"audio-display", "no"},
        {"force-window", "no"},
        {"idle", "yes"},
        {"keep-open", "no"},
        {"audio-fallback-to-null", "yes"},
        {"audio-client-name", "tunelet-player"},
        {"demuxer-max-bytes", "8MiB"},
        {"demuxer-max-back-bytes", "1MiB"},
        {"ao", nullAudio ? "null" : nullptr},
    };
    for (auto [name, value] : options)
        if (value && mpv_set_option_string(created, name, value) < 0) {
            startFailure = std::string("mpv refuses option ") + name;
            mpvOwner.reset();
            return;
        }
    int started = mpv_initialize(created);
    if (started < 0) {
        startFailure = std::string("mpv cannot start: ") + mpv_error_string(started);
        mpvOwner.reset();
        return;
    }
    mpv = created;
    mpv_set_wakeup_callback(mpv, wakeUp, this);
}

MpvPlayback::~MpvPlayback()
{
    // Joins mpv's threads: no wake-up runs after this.
    mpvOwner.reset();
}

void MpvPlayback::wakeUp(void* context)
{
    auto* self = static_cast<MpvPlayback*>(context);
    // One notification until the news are taken in.
    if (self->newsPosted.exchange(true))
        return;
    std::lock_guard guard(self->notifyLock);
    if (self->notify)
        self->notify();
}

void MpvPlayback::setNotify(std::function<void()> function)
{
    std::lock_guard guard(notifyLock);
    notify = std::move(function);
    // What arrived while nobody listened is news too.
    newsPosted = notify != nullptr;
    if (notify)
        notify();
}

void MpvPlayback::fail(std::string why)
{
    outcome = Outcome::failed;
    error = std::move(why);
}

void MpvPlayback::open(const std::string& file, int lengthMs, std::int64_t offsetMs, bool pausedNow)
{
    entryId = 0;
    startedCurrent = false;
    loaded = false;
    error.clear();
    startMs = lastPosition = std::max<std::int64_t>(offsetMs, 0);
    pendingSeek = -1;
    info = TrackInfo{};
    info.lengthMs = lengthMs;
    outcome = Outcome::playing;
    paused = pausedNow;
    // Opened paused, it starts at 0 and seeks on the resume (see `heldAt`).
    heldAt = paused && startMs > 0 ? startMs : -1;
    seekIssued = restarted = false;
    if (!mpv) {
        fail(startFailure);
        return;
    }
    mpv_set_property_string(mpv, "pause", paused ? "yes" : "no");
    std::string start = "start=" + seconds(paused ? 0 : startMs);
    const char* command[] = {"loadfile", file.c_str(), "replace", start.c_str(), nullptr};
    mpv_node result{};
    int done = mpv_command_ret(mpv, command, &result);
    if (done < 0) {
        fail(mpv_error_string(done));
        return;
    }
    if (result.format == MPV_FORMAT_NODE_MAP)
        for (int i = 0; i < result.u.list->num; ++i)
            if (std::string(result.u.list->keys[i]) == "playlist_entry_id" &&
                result.u.list->values[i].format == MPV_FORMAT_INT64)
                entryId = result.u.list->values[i].u.int64;
    mpv_free_node_contents(&result);
}

void MpvPlayback::close()
{
    outcome = Outcome::idle;
    entryId = 0;
    loaded = false;
    heldAt = -1;
    if (!mpv)
        return;
    const char* command[] = {"stop", nullptr};
    mpv_command(mpv, command);
}

void MpvPlayback::setPaused(bool pausedNow)
{
    paused = pausedNow;
    if (!mpv)
        return;
    if (!paused && heldAt >= 0 && !seekIssued && loaded && outcome == Outcome::playing)
        startHeldSeek();
    mpv_set_property_string(mpv, "pause", paused ? "yes" : "no");
}

void MpvPlayback::seek(std::int64_t ms)
{
    ms = std::max<std::int64_t>(ms, 0);
    lastPosition = ms;
    if (!mpv || outcome != Outcome::playing)
        return;
    if (!loaded) {
        pendingSeek = startMs = ms;
        return;
    }
    heldAt = ms;
    seekIssued = restarted = false;
    if (!paused)
        startHeldSeek();
}

void MpvPlayback::startHeldSeek()
{
    // A restart still queued from an earlier seek must not count for this one.
    drainEvents();
    if (outcome != Outcome::playing || heldAt < 0)
        return;
    issueHeldSeek();
}

void MpvPlayback::issueHeldSeek()
{
    seekIssued = true;
    restarted = false;
    std::string target = seconds(heldAt);
    const char* command[] = {"seek", target.c_str(), "absolute+exact", nullptr};
    mpv_command(mpv, command);
}

std::int64_t MpvPlayback::positionMs()
{
    if (outcome != Outcome::playing)
        return 0;
    if (!loaded)
        return startMs;
    double at = 0;
    if (mpv_get_property(mpv, "time-pos", MPV_FORMAT_DOUBLE, &at) < 0 || at < 0)
        return heldAt >= 0 ? heldAt : lastPosition;
    std::int64_t clock = static_cast<std::int64_t>(at * 1000.0 + 0.5);
    if (heldAt >= 0) {
        // mpv's clock tells again once its audio runs from the target.
        if (paused || !restarted || clock < heldAt)
            return heldAt;
        heldAt = -1;
    }
    lastPosition = clock;
    return lastPosition;
}

void MpvPlayback::setVolume(int volume)
{
    if (!mpv)
        return;
    // 0..255 onto mpv's 0..100 (100: the track's own level).
    double level = std::clamp(volume, 0, 255) * 100.0 / 255.0;
    mpv_set_property(mpv, "volume", MPV_FORMAT_DOUBLE, &level);
}

double MpvPlayback::volumeLevel() const
{
    double level = -1;
    if (!mpv || mpv_get_property(mpv, "volume", MPV_FORMAT_DOUBLE, &level) < 0)
        return -1;
    return level;
}

Playback::Status MpvPlayback::status()
{
    Status news{outcome, 0, {}};
    if (outcome == Outcome::ended || outcome == Outcome::failed) {
        news.error = error;
        outcome = Outcome::idle;
        entryId = 0;
    }
    return news;
}

void MpvPlayback::takeNews()
{
    newsPosted = false;
    drainEvents();
}

void MpvPlayback::drainEvents()
{
    if (!mpv)
        return;
    for (;;) {
        mpv_event* event = mpv_wait_event(mpv, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        handle(*event);
    }
}

void MpvPlayback::handle(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_START_FILE: {
        auto* start = static_cast<const mpv_event_start_file*>(event.data);
        startedCurrent = entryId != 0 && start->playlist_entry_id == entryId;
        break;
    }
    case MPV_EVENT_FILE_LOADED: {
        if (!startedCurrent || outcome != Outcome::playing)
            break;
        loaded = true;
        info.decoded = true;
        double duration = 0;
        if (mpv_get_property(mpv, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 && duration > 0) {
            info.lengthMs = static_cast<int>(duration * 1000.0 + 0.5);
            // The decoder's own figure comes only once it has played a while.
            std::int64_t size = 0;
            if (mpv_get_property(mpv, "file-size", MPV_FORMAT_INT64, &size) >= 0 && size > 0)
                info.bitrate = static_cast<int>(static_cast<double>(size) * 8.0 / duration / 1000.0 + 0.5);
        }
        info.artist = stringProperty(mpv, "metadata/by-key/artist");
        info.album = stringProperty(mpv, "metadata/by-key/album");
        info.title = stringProperty(mpv, "metadata/by-key/title");
        if (pendingSeek >= 0) {
            // Nothing of this track was played yet: no restart to drop.
            heldAt = std::exchange(pendingSeek, -1);
            seekIssued = restarted = false;
            if (!paused)
                issueHeldSeek();
        }
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (seekIssued)
            restarted = true;
        break;
    case MPV_EVENT_END_FILE: {
        auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (entryId == 0 || end->playlist_entry_id != entryId || outcome != Outcome::playing)
            break;  // a track we already left
        if (end->reason == MPV_END_FILE_REASON_ERROR)
            fail(mpv_error_string(end->error));
        else if (!loaded && end->reason == MPV_END_FILE_REASON_EOF)
            fail("nothing in it can be played");
        else
            outcome = Outcome::ended;
        break;
    }
    default:
        break;
    }
}

} // namespace player
