#include "player/PeerTrackPlayback.h"

#include "player/TrackTagFields.h"

#include "library/FetchUrl.h"

#include <taglib/fileref.h>
#include <taglib/tbytevectorstream.h>

namespace player {

void PeerTrackPlayback::open(const std::string& file, int lengthMs, std::int64_t offsetMs, bool paused)
{
    peerTrack = {};
    if (!isLocalFile(file)) {
        const TrackTags tags = readUrl(file);
        if (tags.readable && tags.lengthMs > 0) {
            peerTrack = {true, tags.artist, tags.album, tags.title, tags.lengthMs, tags.bitrate};
            lengthMs = tags.lengthMs;
        }
    }
    simulated.open(file, lengthMs, offsetMs, paused);
    if (peerTrack.decoded && notify)
        notify();
}

Playback::TrackInfo PeerTrackPlayback::trackInfo()
{
    TrackInfo info = simulated.trackInfo();
    if (!peerTrack.decoded)
        return info;
    // Closed (or ended) it tells nothing, as the clock does.
    return info.lengthMs > 0 ? peerTrack : info;
}

TrackTags readUrlTrackTags(const std::string& url)
{
    library::FetchLimits limits;
    limits.exchange = std::chrono::minutes(1);
    limits.answerBytes = 64u << 20;
    http::Response answer;
    if (!library::fetchUrl(url, answer, limits) || answer.status != 200 || answer.body.empty())
        return {};
    // No name: the tag library tells the type by the bytes.
    TagLib::ByteVector bytes(answer.body.data(), static_cast<unsigned>(answer.body.size()));
    TagLib::ByteVectorStream stream(bytes);
    TagLib::FileRef track(&stream, true, TagLib::AudioProperties::Fast);
    if (track.isNull())
        return {};
    return tagsOfFile(track);
}

} // namespace player
