#include "player/PlayerModel.h"

#include "player/TrackTags.h"

#include <algorithm>
#include <ostream>

namespace player {

PlayerModel::PlayerModel(const Clock& clock, Playback& playback, std::uint32_t shuffleSeed, std::ostream& log)
    : playback(playback), log(log), list(clock), order(shuffleSeed)
{
    playback.setVolume(currentVolume);
}

const Playlist& PlayerModel::playlist()
{
    catchUp();
    return list;
}

void PlayerModel::append(PlaylistEntry entry)
{
    catchUp();
    list.append(std::move(entry));
    order.appended(list.size() - 1);
}

bool PlayerModel::remove(int index)
{
    catchUp();
    if (!list.remove(index))
        return false;
    order.removed(index);
    if (list.size() == 0) {
        stop();
        current = 0;
    } else if (index < current) {
        --current;
    } else if (index == current) {
        current = std::min(current, list.size() - 1);
        order.moveTo(current);
        if (playState != PlayState::stopped)
            startAt(0, PlayState::playing);
    }
    return true;
}

bool PlayerModel::swap(int a, int b)
{
    catchUp();
    if (!list.swap(a, b))
        return false;
    order.swapped(a, b);
    return true;
}

void PlayerModel::clear()
{
    catchUp();
    stop();
    current = 0;
    list.clear();
    order.cleared();
}

int PlayerModel::position()
{
    catchUp();
    return current;
}

void PlayerModel::setPosition(int index)
{
    catchUp();
    if (!list.isValid(index))
        return;
    current = index;
    order.moveTo(index);
}

void PlayerModel::cue(int index, int offsetMs)
{
    catchUp();
    if (!list.isValid(index))
        return;
    stop();
    current = index;
    order.moveTo(index);
    failuresInARow = 0;
    startAt(std::max(offsetMs, 0), PlayState::paused);
}

PlayState PlayerModel::state()
{
    catchUp();
    return playState;
}

int PlayerModel::elapsedMs()
{
    catchUp();
    return static_cast<int>(elapsedNow());
}

int PlayerModel::currentLengthMs()
{
    catchUp();
    const PlaylistEntry* entry = list.at(current);
    if (!entry)
        return -1;
    if (playState != PlayState::stopped && playingCurrent()) {
        int decoded = playback.trackInfo().lengthMs;
        if (decoded > 0)
            return decoded;
    }
    return entry->lengthMs > 0 ? entry->lengthMs : -1;
}

void PlayerModel::play()
{
    catchUp();
    if (list.size() == 0)
        return;
    failuresInARow = 0;
    if (playState == PlayState::paused && playingCurrent()) {
        playback.setPaused(false);
        playState = PlayState::playing;
    } else {
        startAt(0, PlayState::playing);
    }
}

void PlayerModel::pause()
{
    catchUp();
    if (playState == PlayState::playing) {
        playback.setPaused(true);
        playState = PlayState::paused;
    } else if (playState == PlayState::paused) {
        play();
    }
}

void PlayerModel::stop()
{
    catchUp();
    if (playState != PlayState::stopped)
        playback.close();
    playState = PlayState::stopped;
    openSerial = 0;
}

void PlayerModel::next()
{
    catchUp();
    if (list.size() == 0)
        return;
    failuresInARow = 0;
    current = step(+1);
    if (playState != PlayState::stopped)
        startAt(0, PlayState::playing);
}

void PlayerModel::previous()
{
    catchUp();
    if (list.size() == 0)
        return;
    failuresInARow = 0;
    current = step(-1);
    if (playState != PlayState::stopped)
        startAt(0, PlayState::playing);
}

int PlayerModel::step(int direction)
{
    int size = list.size();
    if (shuffleOn) {
        int chosen = direction > 0 ? order.next() : order.previous();
        if (chosen >= 0)
            return chosen;
        if (direction > 0)
            return startNewPass();
    }
    return ((current + direction) % size + size) % size;
}

int PlayerModel::startNewPass()
{
    int size = list.size();
    order.reset(size, -1);
    int chosen = order.next();
    if (chosen == current && size > 1) {
        // Never the entry just played first: it leads the order, so take the one after it.
        order.reset(size, current);
        chosen = order.next();
    }
    return chosen;
}

int PlayerModel::seek(int ms)
{
    catchUp();
    if (playState == PlayState::stopped)
        return -1;
    std::int64_t target = std::max(ms, 0);
    int length = currentLengthMs();
    if (length > 0 && target >= length) {
        entryEnded(0);
        return 1;
    }
    if (playingCurrent())
        playback.seek(target);
    else
        startAt(target, playState);
    return 0;
}

void PlayerModel::skip(int deltaMs)
{
    catchUp();
    if (playState == PlayState::stopped)
        return;
    seek(static_cast<int>(std::max<std::int64_t>(elapsedNow() + deltaMs, 0)));
}

void PlayerModel::setVolume(int volume)
{
    currentVolume = std::clamp(volume, 0, 255);
    playback.setVolume(currentVolume);
}

void PlayerModel::setShuffle(bool on)
{
    catchUp();
    if (on && !shuffleOn)
        order.reset(list.size(), current);
    shuffleOn = on;
}

void PlayerModel::takePlaybackNews()
{
    playback.takeNews();
    catchUp();
    if (infoPending && playState != PlayState::stopped)
        applyTrackInfo();
}

bool PlayerModel::playingCurrent() const
{
    const PlaylistEntry* entry = list.at(current);
    return entry && openSerial != 0 && entry->serial == openSerial;
}

std::int64_t PlayerModel::elapsedNow()
{
    if (playState == PlayState::stopped)
        return 0;
    if (playState == PlayState::paused && !playingCurrent())
        return 0;
    return playback.positionMs();
}

void PlayerModel::startAt(std::int64_t offsetMs, PlayState newState)
{
    const PlaylistEntry* entry = list.at(current);
    if (!entry) {
        stop();
        return;
    }
    playState = newState;
    openSerial = entry->serial;
    infoPending = true;
    playback.open(entry->file, entry->lengthMs, offsetMs, newState == PlayState::paused);
}

void PlayerModel::applyTrackInfo()
{
    Playback::TrackInfo info = playback.trackInfo();
    if (!info.decoded)
        return;  // nothing known yet
    infoPending = false;
    int index = list.find(openSerial);
    const PlaylistEntry* entry = list.at(index);
    if (!entry)
        return;
    PlaylistEntry named = *entry;
    if (isPlaceholderTitle(entry->file, entry->title) && !info.title.empty())
        named.title = info.artist.empty() ? info.title : info.artist + " - " + info.title;
    if (!isLocalFile(entry->file)) {
        // Only the decoder knows a URL's tags; what the enqueuer said of its
        // length was a guess.
        named.decoded.readable = true;
        named.decoded.artist = info.artist;
        named.decoded.album = info.album;
        named.decoded.title = info.title;
        named.decoded.lengthMs = std::max(info.lengthMs, 0);
        named.decoded.bitrate = info.bitrate;
        if (info.bitrate > 0)
            named.bitrate = info.bitrate;
        if (info.lengthMs > 0)
            named.lengthMs = info.lengthMs;
    } else if (entry->lengthMs <= 0 && info.lengthMs > 0) {
        named.lengthMs = info.lengthMs;
    }
    if (named.title != entry->title || named.lengthMs != entry->lengthMs || named.decoded.readable)
        list.replace(index, std::move(named));
}

TrackTags PlayerModel::decodedTags(const std::string& file)
{
    catchUp();
    const PlaylistEntry* current = list.at(this->current);
    if (current && current->file == file)
        return current->decoded;
    for (int i = 0; i < list.size(); ++i)
        if (list.at(i)->file == file && list.at(i)->decoded.readable)
            return list.at(i)->decoded;
    return {};
}

void PlayerModel::catchUp()
{
    // Bounded, so that a long sleep over a list of very short entries with
    // repeat on cannot hold the thread; the remainder is followed next time.
    for (int guard = 0; guard < 10000 && playState != PlayState::stopped; ++guard) {
        Playback::Status status = playback.status();
        if (status.outcome == Playback::Outcome::playing)
            return;
        if (status.outcome == Playback::Outcome::idle) {
            playState = PlayState::stopped;
            openSerial = 0;
            return;
        }
        if (status.outcome == Playback::Outcome::failed) {
            const PlaylistEntry* entry = list.at(list.find(openSerial));
            log << "tunelet-player: cannot play " << (entry ? entry->file : std::string("an entry")) << ": "
                << status.error << "\n";
            if (++failuresInARow >= list.size()) {
                // Every entry failed in a row: skipping on would never end.
                playState = PlayState::stopped;
                openSerial = 0;
                return;
            }
            entryEnded(0);
            continue;
        }
        failuresInARow = 0;
        entryEnded(status.overshootMs);
    }
}

void PlayerModel::entryEnded(std::int64_t overshootMs)
{
    int size = list.size();
    int following = -1;
    if (shuffleOn) {
        following = order.next();
        if (following < 0 && repeatOn && size > 0)
            following = startNewPass();
    } else if (current + 1 < size) {
        following = current + 1;
    } else if (repeatOn && size > 0) {
        following = 0;
    }
    if (following < 0) {
        // The end of the list: stop on the last entry.
        playback.close();
        playState = PlayState::stopped;
        openSerial = 0;
        return;
    }
    current = following;
    PlayState keep = playState == PlayState::paused ? PlayState::paused : PlayState::playing;
    startAt(keep == PlayState::paused ? 0 : overshootMs, keep);
}

} // namespace player
