#pragma once
// The real player on a window thread of its own, running its message loop as
// the host's user-interface thread does, for the benchmarks that ask it
// through the facade or over a socket.

#include "platform/Event.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "player/Player.h"

#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace bench {

/// The player on its own window thread, with `entries` stream entries (no
/// tags to read).
class PlayerThread {
public:
    explicit PlayerThread(int entries)
    {
        platform::Event ready;
        thread = std::thread([&] {
            player::Player player(player::Player::defaultClock(), 1, log);
            main = player.mainWindow();
            worker = platform::createWindow(runWork);
            ready.set();
            player.run();
            platform::destroyWindow(worker);
        });
        ready.wait();
        for (int i = 0; i < entries; ++i) {
            std::string file = "http://127.0.0.1:9/music/album" + std::to_string(i / 12) + "/track" +
                               std::to_string(i) + ".mp3";
            std::string title = "Artist " + std::to_string(i % 97) + " - Title of track " + std::to_string(i);
            platform::enqueueFileWithMetaStruct item{file.c_str(), title.c_str(), 215};
            platform::sendMessage(main, platform::WM_WA_IPC, reinterpret_cast<platform::WPARAM>(&item), platform::IPC_PLAYFILE);
        }
    }
    ~PlayerThread()
    {
        platform::postMessage(main, platform::WM_CLOSE);
        thread.join();
    }

    /// Runs `work` on the player's thread.
    void onPlayer(const std::function<void()>& work)
    {
        platform::sendMessage(worker, runWorkMessage, reinterpret_cast<platform::WPARAM>(&work));
    }

    platform::HWND main = nullptr;

private:
    static constexpr platform::UINT runWorkMessage = platform::WM_USER + 77;
    static platform::LRESULT runWork(platform::HWND, platform::UINT message, platform::WPARAM wParam, platform::LPARAM)
    {
        if (message == runWorkMessage)
            (*reinterpret_cast<const std::function<void()>*>(wParam))();
        return 0;
    }

    platform::HWND worker = nullptr;
    std::ostringstream log;
    std::thread thread;
};

} // namespace bench
