#include "player/PlayerModel.h"

#include <algorithm>

namespace player {

PlayerModel::PlayerModel(const Clock& clock, std::uint32_t shuffleSeed)
    : clock(clock), list(clock), order(shuffleSeed)
{
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
    return entry && entry->lengthMs > 0 ? entry->lengthMs : -1;
}

void PlayerModel::play()
{
    catchUp();
    if (list.size() == 0)
        return;
    if (playState == PlayState::paused)
        startAt(pausedAtMs, PlayState::playing);
    else
        startAt(0, PlayState::playing);
}

void PlayerModel::pause()
{
    catchUp();
    if (playState == PlayState::playing) {
        pausedAtMs = elapsedNow();
        playState = PlayState::paused;
    } else if (playState == PlayState::paused) {
        startAt(pausedAtMs, PlayState::playing);
    }
}

void PlayerModel::stop()
{
    catchUp();
    playState = PlayState::stopped;
    pausedAtMs = 0;
}

void PlayerModel::next()
{
    catchUp();
    if (list.size() == 0)
        return;
    current = step(+1);
    if (playState != PlayState::stopped)
        startAt(0, PlayState::playing);
}

void PlayerModel::previous()
{
    catchUp();
    if (list.size() == 0)
        return;
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
    const PlaylistEntry* entry = list.at(current);
    if (entry && entry->lengthMs > 0 && target >= entry->lengthMs) {
        entryEnded(0);
        return 1;
    }
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
}

void PlayerModel::setShuffle(bool on)
{
    catchUp();
    if (on && !shuffleOn)
        order.reset(list.size(), current);
    shuffleOn = on;
}

std::int64_t PlayerModel::elapsedNow() const
{
    switch (playState) {
    case PlayState::playing:
        return clock.nowMs() - startedAt;
    case PlayState::paused:
        return pausedAtMs;
    case PlayState::stopped:
        break;
    }
    return 0;
}

void PlayerModel::startAt(std::int64_t offsetMs, PlayState newState)
{
    playState = newState;
    if (newState == PlayState::paused)
        pausedAtMs = offsetMs;
    else
        startedAt = clock.nowMs() - offsetMs;
}

void PlayerModel::catchUp()
{
    // Bounded, so that a long sleep over a list of very short entries with
    // repeat on cannot hold the thread; the remainder is followed next time.
    for (int guard = 0; guard < 10000 && playState == PlayState::playing; ++guard) {
        const PlaylistEntry* entry = list.at(current);
        if (!entry || entry->lengthMs <= 0)
            return;
        std::int64_t elapsed = clock.nowMs() - startedAt;
        if (elapsed < entry->lengthMs)
            return;
        entryEnded(elapsed - entry->lengthMs);
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
        playState = PlayState::stopped;
        pausedAtMs = 0;
        return;
    }
    current = following;
    PlayState keep = playState == PlayState::paused ? PlayState::paused : PlayState::playing;
    startAt(keep == PlayState::paused ? 0 : overshootMs, keep);
}

} // namespace player
