// The plug-in started on a window of a thread it has never seen, as the real
// player's is: a request answered while the start is still under way (the
// question about an index cut short is open) must reach the window.
#include "host/PluginInstance.h"
#include "platform/MessageBox.h"
#include "platform/PlayerMessages.h"
#include "webapp/TuneletServer.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr LRESULT playerVolume = 201;

/// The player's main window: its volume, 0 for every other request.
LRESULT CALLBACK playerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == platform::WM_WA_IPC)
        return lParam == platform::IPC_SETVOLUME ? playerVolume : 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

/// The body of `GET /<path>` on 127.0.0.1:`port`; empty when it failed.
std::string httpGet(std::uint16_t port, const std::string& path)
{
    SOCKET peer = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const DWORD limitMs = 60000;  // only against a hang: the answer comes at once or never
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
    sockaddr_in address{AF_INET, htons(port), {}, {}};
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET /" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        send(peer, request.data(), static_cast<int>(request.size()), 0);
        char buffer[4096];
        for (int got; (got = recv(peer, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, static_cast<std::size_t>(got));
    }
    closesocket(peer);
    const auto body = answer.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : answer.substr(body + 4);
}

} // namespace

TEST(PluginStart, ARequestAnsweredWhileTheStartIsUnderWayReachesThePlayer)
{
    WSADATA winsock;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
    // Left behind: the server keeps its document root open for the process.
    const fs::path home = fs::temp_directory_path() / ("tunelet-start-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                       std::to_string(GetTickCount()));
    // An index was begun before: the flag asks whether to build it again.
    fs::create_directories(home / "Plugins" / "gen_Tunelet" / "search-index");
    std::ofstream(home / "Plugins" / "gen_Tunelet.ini", std::ios::binary)
        << "[Tunelet Remote Control Plugin v1.0]\r\nlistenIP=127.0.0.1\r\nlistenPort=0\r\n"
           "requirePassword=0\r\nNeedsIndex=1\r\n";
    host::PluginInstance& plugin = host::PluginInstance::instance();

    std::string answered;
    int questions = 0;
    platform::setMessageBoxHook([&](platform::HWND, const std::string&, const std::string&, platform::UINT) {
        ++questions;
        webapp::TuneletServer* server = plugin.getServer();
        for (int i = 0; i < 3000 && server->listeningPort() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        std::atomic<bool> done = false;
        std::thread client([&, port = server->listeningPort()] {
            answered = httpGet(port, "getvolume");
            done = true;
        });
        // As the box's loop, with the system's calls only (the platform
        // layer's would make the thread known to it).
        for (MSG message; !done;) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        }
        client.join();
        return IDCANCEL;
    });
    std::thread([&] {
        WNDCLASSW type{};
        type.lpfnWndProc = playerProc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"TuneletTestPlayer";
        ASSERT_NE(RegisterClassW(&type), 0);
        HWND window = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, type.hInstance,
                                      nullptr);
        ASSERT_NE(window, nullptr);
        plugin.pluginRecord()->hwndParent = reinterpret_cast<platform::HWND>(window);
        plugin.initFrom((home / "Plugins" / "gen_Tunelet.dll").string());
        plugin.quit();
        DestroyWindow(window);
    }).join();
    platform::setMessageBoxHook({});

    EXPECT_EQ(questions, 1);
    EXPECT_EQ(answered, std::to_string(playerVolume)) << "the player's window did not get the request";
    WSACleanup();
}
