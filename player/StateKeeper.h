#pragma once

#include "platform/WindowTypes.h"
#include "player/PlayerModel.h"

#include <condition_variable>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>

namespace player {

/// Keeps the player's state (playlist, current entry, position, volume,
/// shuffle, repeat) in a file across restarts.
///
/// `restore`, `check` and `save` run on the player's window thread, where
/// the model lives. The keeper's own thread only posts
/// WM_PLAYER_STATE_CHECK to `window` every `checkInterval` ms; the window
/// calls `check` on it, which saves when anything changed since the last
/// save, so a crash loses at most the last few seconds.
class StateKeeper {
public:
    static constexpr int checkInterval = 2000;
    /// While an entry plays its position moves all the time: it is saved this
    /// often, not on every check.
    static constexpr int playingPositionStep = 10000;

    /// `model` and `log` must outlive the keeper.
    StateKeeper(PlayerModel& model, std::string path, std::ostream& log);
    /// Stops the clock thread (and waits for it); saves nothing.
    ~StateKeeper();
    StateKeeper(const StateKeeper&) = delete;
    StateKeeper& operator=(const StateKeeper&) = delete;

    /// Loads the file into the (empty) model: the entries appended as given,
    /// the current entry opened paused at the saved position. A missing or
    /// damaged file leaves the model empty, with one line on `log`.
    void restore();
    /// Starts posting checks to `window`.
    void startClock(platform::HWND window);
    /// Saves when the state changed since the last save.
    void check();
    /// Saves now; one line on `log` when the file cannot be written.
    void save();

private:
    struct Signature {
        std::uint64_t revision = 0;
        int current = 0;
        int positionStep = 0;
        int volume = 0;
        bool shuffle = false;
        bool repeat = false;
        PlayState transport = PlayState::stopped;
        bool operator==(const Signature&) const = default;
    };
    Signature signature();
    void tick(platform::HWND window);

    PlayerModel& model;
    const std::string path;
    std::ostream& log;
    Signature saved;
    bool everSaved = false;
    bool failureSaid = false;

    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;  // under `lock`
    std::thread clock;
};

} // namespace player
