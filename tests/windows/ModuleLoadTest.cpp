// The plug-in module as a host loads it: found by its one export, started on
// a window of the host's thread, quit, and freed right after, with none of
// its threads left behind. Needs Plugins/gen_Tunelet.dll next to the program.
#include "platform/ModulePath.h"
#include "platform/PluginRecord.h"
#include "platform/SharedLibrary.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

int threadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

/// Waits (generously: a loaded machine is slow) until `done()`.
template <typename Done>
bool eventually(Done done)
{
    for (auto until = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < until;) {
        if (done())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

} // namespace

TEST(Module, LoadsStartsQuitsAndIsFreedWithNoThreadLeft)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(platform::modulePath(reinterpret_cast<const void*>(&threadsOfThisProcess)))
                                .parent_path();
    const fs::path home = fs::temp_directory_path() / ("tunelet-load-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(home);
    _wputenv_s(L"TUNELET_PLUGIN_HOME", home.wstring().c_str());

    platform::UniqueWindow main(platform::createWindow(platform::defWindowProc));
    ASSERT_TRUE(main);
    const int before = threadsOfThisProcess();

    platform::SharedLibrary module;
    ASSERT_TRUE(module.open((folder / "Plugins" / "gen_Tunelet.dll").string())) << module.error();
    auto entry = reinterpret_cast<platform::PluginEntry>(module.symbol(platform::PLUGIN_ENTRY_NAME));
    ASSERT_NE(entry, nullptr);
    platform::PluginRecord* record = entry();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->version, platform::PLUGIN_RECORD_VERSION);
    EXPECT_STREQ(record->description, "Tunelet Remote Control Plugin");
    ASSERT_TRUE(record->init && record->config && record->quit);

    record->hwndParent = main.get();
    record->hDllInstance = module.handle();
    ASSERT_EQ(record->init(), 0);
    // Subclassed: the main window's procedure is the plug-in's now.
    EXPECT_NE(platform::getWindowProc(main.get()), platform::defWindowProc);
    EXPECT_TRUE(eventually([&] { return threadsOfThisProcess() > before; })) << "the server runs threads";

    record->quit();
    EXPECT_EQ(platform::getWindowProc(main.get()), platform::defWindowProc);
    module.close();
    // Freed right after quit: the process goes on, and the module's threads end.
    EXPECT_TRUE(eventually([&] { return threadsOfThisProcess() <= before; }))
        << threadsOfThisProcess() << " threads, " << before << " before";
    main.reset();
    std::error_code ignored;
    fs::remove_all(home, ignored);
}
