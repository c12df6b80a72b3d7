#pragma once

#include "platform/WindowTypes.h"
#include "player/Player.h"
#include "player/PlayerTestSupport.h"

#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace webapptest {

/// One message that reached a player window while recording.
struct Sent {
    bool toEditor = false;
    platform::UINT message = 0;
    platform::WPARAM wParam = 0;
    platform::LPARAM lParam = 0;
    /// For IPC_PLAYFILE: the entry as it was handed over.
    std::string file;
    std::string title;
    int length = 0;

    /// The request number of a WM_WA_IPC (lParam to the main window,
    /// wParam to the editor); the command id of a WM_COMMAND.
    int request() const;
};

/// The real host player on a window thread of its own, running its message
/// loop, with a hand-moved clock. Its two windows are subclassed so that
/// every message sent to them is recorded (and may be answered by
/// `intercept` instead of the player). Tests reach the model only through
/// `onPlayer`, which runs on the player's thread. One harness at a time.
class PlayerHarness {
public:
    /// Answers a message in the player's place when it returns a value.
    using Intercept =
        std::function<std::optional<platform::LRESULT>(bool toEditor, platform::UINT, platform::WPARAM, platform::LPARAM)>;

    PlayerHarness();
    ~PlayerHarness();
    PlayerHarness(const PlayerHarness&) = delete;
    PlayerHarness& operator=(const PlayerHarness&) = delete;

    platform::HWND mainWindow() const { return main; }
    platform::HWND editorWindow() const { return editor; }

    /// Runs `work` on the player's thread and waits for it.
    void onPlayer(const std::function<void(player::Player&)>& work);

    /// Snapshots of the model, taken on the player's thread.
    std::vector<std::string> files();
    std::vector<std::string> titles();
    int position();
    player::PlayState state();
    int elapsedMs();

    /// Appends entries straight to the model (no message recorded).
    void append(const std::string& file, const std::string& title = "", int lengthMs = -1);
    void clearDirty();

    std::vector<Sent> recorded();
    void clearRecorded();
    void setIntercept(Intercept intercept);

    player::test::ManualClock clock;

private:
    static platform::LRESULT recordMain(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM);
    static platform::LRESULT recordEditor(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM);
    static platform::LRESULT runWork(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM);
    /// Records the message; an answer when `intercept` gives one.
    std::optional<platform::LRESULT> record(bool toEditor, platform::UINT, platform::WPARAM, platform::LPARAM);

    std::ostringstream log;
    std::thread thread;
    platform::HWND main = nullptr;
    platform::HWND editor = nullptr;
    platform::HWND worker = nullptr;
    platform::WindowProc mainProc = nullptr;
    platform::WindowProc editorProc = nullptr;

    std::mutex mutex;  // guards the two below
    std::vector<Sent> sent;
    Intercept intercept;
};

} // namespace webapptest
