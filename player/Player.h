#pragma once

#include "player/Clock.h"
#include "player/Playback.h"
#include "player/PlayerModel.h"
#include "player/PlayerRequests.h"
#include "player/PlayerWindow.h"
#include "player/PluginLoader.h"

#include <iostream>
#include <memory>
#include <random>
#include <string>

namespace player {

/// The host player in one object: model, request handling, windows, menus and
/// plug-ins. Construct it on the thread that is to be the player's window
/// thread; `run` and every other operation belong to that thread.
///
/// Entries play through `playback` (the program gives it real audio); without
/// one they play on a clock simulated with `clock`. The playback's news are
/// posted to the main window and taken in there.
class Player {
public:
    explicit Player(const Clock& clock = defaultClock(), std::uint32_t shuffleSeed = std::random_device{}(),
                    std::ostream& log = std::cerr,
                    PlayerRequests::TagSource tags = readTrackTags,
                    std::unique_ptr<Playback> playback = nullptr);
    ~Player();

    PlayerModel& model() { return playerModel; }
    PlayerWindow& window() { return windows; }
    PluginLoader& plugins() { return loader; }
    platform::HWND mainWindow() const { return windows.mainWindow(); }

    /// Runs the message loop until the main window is closed (WM_CLOSE, the
    /// Exit command or a posted quit request), then shuts down. Returns the
    /// loop's exit code.
    int run();
    /// Calls every plug-in's quit and unloads them (also done by `run` and
    /// the destructor). Puts the main window's own procedure back if a
    /// plug-in left its procedure installed, since its code is about to go.
    void shutdown();

    static const Clock& defaultClock();

private:
    std::unique_ptr<Playback> audio;
    PlayerModel playerModel;
    PlayerRequests requests;
    PlayerWindow windows;
    std::ostream& log;
    PluginLoader loader;
};

} // namespace player
