#pragma once

#include "player/Clock.h"
#include "player/Playback.h"
#include "player/SimulatedPlayback.h"
#include "player/TrackTags.h"

#include <functional>
#include <string>

namespace player {

/// The simulated clock for a host that cannot decode (Windows): a peer's
/// track (an http:// URL), whose length only its bytes tell, is read once
/// when it is opened, through `readUrl`, so that it plays for its length and
/// its tags reach the playlist as a decoder's would. A local file plays on
/// the length its tags gave, as on the plain simulated clock. The read
/// blocks the player's thread for as long as the peer takes to send the
/// track (bounded by `readUrl`).
class PeerTrackPlayback final : public Playback {
public:
    using UrlTags = std::function<TrackTags(const std::string& url)>;

    PeerTrackPlayback(const Clock& clock, UrlTags readUrl) : simulated(clock), readUrl(std::move(readUrl)) {}

    void open(const std::string& file, int lengthMs, std::int64_t offsetMs, bool paused) override;
    void close() override { simulated.close(); }
    void setPaused(bool paused) override { simulated.setPaused(paused); }
    void seek(std::int64_t ms) override { simulated.seek(ms); }
    std::int64_t positionMs() override { return simulated.positionMs(); }
    void setVolume(int volume) override { simulated.setVolume(volume); }
    Status status() override { return simulated.status(); }
    TrackInfo trackInfo() override;
    /// Told when a peer's track was read, so that its tags are taken in.
    void setNotify(std::function<void()> notify) override { this->notify = std::move(notify); }

private:
    SimulatedPlayback simulated;
    UrlTags readUrl;
    std::function<void()> notify;
    TrackInfo peerTrack;  // `decoded` while a peer's track read from its bytes is open
};

/// The tags of the track at `url` (a peer's download), its bytes fetched
/// whole: at most 64 MiB within a minute. Not readable when the fetch fails
/// or the bytes are no media file the tag library knows. Any thread.
TrackTags readUrlTrackTags(const std::string& url);

} // namespace player
