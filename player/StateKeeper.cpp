#include "player/StateKeeper.h"

#include "platform/Window.h"
#include "player/PlayerRequests.h"
#include "player/PlayerState.h"

#include <chrono>
#include <ostream>

namespace player {

StateKeeper::StateKeeper(PlayerModel& model, std::string path, std::ostream& log)
    : model(model), path(std::move(path)), log(log)
{
}

StateKeeper::~StateKeeper()
{
    {
        std::lock_guard guard(lock);
        stopping = true;
    }
    wake.notify_all();
    if (clock.joinable())
        clock.join();
}

void StateKeeper::restore()
{
    PlayerState state;
    std::string error;
    if (!state.load(path, error)) {
        log << "tunelet-player: " << (error == "missing" ? "no saved player state at " : "cannot restore ")
            << path << (error == "missing" ? "" : " (" + error + ")") << "; starting with an empty playlist\n";
        saved = signature();
        return;
    }
    for (PlayerState::Entry& entry : state.entries)
        model.append({std::move(entry.file), std::move(entry.title),
                      entry.lengthSeconds > 0 ? entry.lengthSeconds * 1000 : -1});
    model.setVolume(state.volume);
    model.setRepeat(state.repeat);
    model.setShuffle(state.shuffle);
    if (state.transport == PlayerState::Transport::paused)
        model.cue(state.current, state.positionMs);
    else
        model.setPosition(state.current);
    // What was just read need not be written back.
    saved = signature();
    everSaved = true;
}

void StateKeeper::startClock(platform::HWND window)
{
    clock = std::thread([this, window] { tick(window); });
}

void StateKeeper::tick(platform::HWND window)
{
    std::unique_lock guard(lock);
    while (!wake.wait_for(guard, std::chrono::milliseconds(checkInterval), [this] { return stopping; }))
        platform::postMessage(window, WM_PLAYER_STATE_CHECK);
}

StateKeeper::Signature StateKeeper::signature()
{
    Signature now;
    now.revision = model.playlist().revision();
    now.current = model.position();
    now.transport = model.state();
    // Paused, the position moves only by a seek; playing, it is saved every
    // `playingPositionStep` ms.
    now.positionStep = model.elapsedMs() / (now.transport == PlayState::playing ? playingPositionStep : 100);
    now.volume = model.volume();
    now.shuffle = model.shuffle();
    now.repeat = model.repeat();
    return now;
}

void StateKeeper::check()
{
    if (!everSaved || signature() != saved)
        save();
}

void StateKeeper::save()
{
    Signature now = signature();
    PlayerState state;
    const Playlist& list = model.playlist();
    state.entries.reserve(static_cast<std::size_t>(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        const PlaylistEntry* entry = list.at(i);
        state.entries.push_back({entry->file, entry->title, entry->lengthMs > 0 ? (entry->lengthMs + 500) / 1000 : -1});
    }
    state.current = now.current;
    state.positionMs = now.transport == PlayState::stopped ? 0 : model.elapsedMs();
    state.volume = now.volume;
    state.shuffle = now.shuffle;
    state.repeat = now.repeat;
    state.transport = now.transport == PlayState::stopped ? PlayerState::Transport::stopped
                                                          : PlayerState::Transport::paused;
    if (!state.save(path)) {
        // Said once, not every few seconds; the next check tries again.
        if (!failureSaid)
            log << "tunelet-player: cannot save the player state to " << path << "\n";
        failureSaid = true;
        return;
    }
    failureSaid = false;
    saved = now;
    everSaved = true;
}

} // namespace player
