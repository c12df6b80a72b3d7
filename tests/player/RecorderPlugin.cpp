// A general-purpose plug-in for the host's tests. It appends what happens to
// it to the file named by TUNELET_TEST_PLUGIN_LOG, one line per event.
// Built several times: RECORDER_NAME names the copy, RECORDER_VERSION sets
// its record version, RECORDER_KEEPS_SUBCLASS leaves its window procedure
// installed at quit.
#include "platform/PlayerMessages.h"
#include "platform/PluginRecord.h"
#include "platform/Window.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

using namespace platform;

WindowProc previousProc = nullptr;

void note(const std::string& line)
{
    if (const char* path = std::getenv("TUNELET_TEST_PLUGIN_LOG")) {
        std::ofstream out(path, std::ios::app);
        out << RECORDER_NAME << ' ' << line << '\n';
    }
}

LRESULT subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 77)
        return 4242;
    return callWindowProc(previousProc, hwnd, message, wParam, lParam);
}

PluginRecord record{};

int init()
{
    HWND parent = record.hwndParent;
    note(std::string("init window=") + (isWindowThread(parent) ? "own" : "foreign") +
         " instance=" + (record.hDllInstance ? "set" : "null") +
         " length=" + std::to_string(sendMessage(parent, WM_WA_IPC, 0, IPC_GETLISTLENGTH)));
    previousProc = setWindowProc(parent, subclassProc);
    return 0;
}

void config()
{
    note("config");
}

void quit()
{
    // Another thread needs the host's window thread while quit waits for it:
    // the wait must keep answering.
    HWND parent = record.hwndParent;
    Event finished;
    LRESULT answer = -1;
    std::thread helper([&] {
        answer = sendMessage(parent, WM_WA_IPC, 0, IPC_GETLISTLENGTH);
        finished.set();
    });
    waitServingMessages(finished);
    helper.join();
#ifndef RECORDER_KEEPS_SUBCLASS
    setWindowProc(parent, previousProc);
#endif
    note("quit answered=" + std::to_string(answer));
}

} // namespace

extern "C" __attribute__((visibility("default"))) PluginRecord* winampGetGeneralPurposePlugin()
{
    record.version = RECORDER_VERSION;
    record.description = "Recorder " RECORDER_NAME;
    record.init = init;
    record.config = config;
    record.quit = quit;
    return &record;
}
