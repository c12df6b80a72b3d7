#pragma once
// The plug-in started in a window playing the host, its server on a free
// loopback port written to a fresh INI file, and its preferences dialog
// shown. For tests on the Qt thread; TearDown closes the dialog and quits
// the plug-in.

#include "host/FakeHost.h"
#include "host/PluginInstance.h"
#include "host/TempDirectory.h"
#include "platform/Socket.h"
#include "settings/Settings.h"
#include "ui/ConfigDialog.h"
#include "webapp/TuneletServer.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace uitest {

/// A port nothing listens on now.
inline std::uint16_t freePort()
{
    platform::UniqueFd probe = platform::listenTcp(0, 0);
    return platform::boundPort(probe.get());
}

/// Runs Qt's loop until `condition` holds, 10 s at most; whether it held.
inline bool eventually(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 10000);
}

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.root / "Plugins");
        iniPath = dir.path("Plugins/gen_Tunelet.ini");
        port = freePort();
        hosttest::TempDirectory::writeText(iniPath, "[Tunelet Remote Control Plugin v1.0]\r\nlistenPort=" +
                                                        std::to_string(port) + "\r\n");
        plugin.pluginRecord()->hwndParent = host.window();
        plugin.pluginRecord()->hDllInstance = &moduleHandle;
        plugin.initFrom(dir.path("Plugins/gen_Tunelet.so"));
        ASSERT_TRUE(eventually([&] { return server().listeningPort() == port; }));
        dialog = std::make_unique<ui::ConfigDialog>(*plugin.getSettings(), server(), *plugin.getWebApplication());
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void TearDown() override
    {
        dialog.reset();
        plugin.quit();
    }

    webapp::TuneletServer& server() { return *plugin.getServer(); }
    /// What the INI file holds now.
    host::SettingsData saved() const { return host::Settings(iniPath).snapshot(); }
    /// The dialog's control with this id; a failure of the test when none.
    template <class Control>
    Control* control(int id) const
    {
        auto* found = dialog->findChild<Control*>(QString::number(id));
        EXPECT_NE(found, nullptr) << id;
        return found;
    }

    hosttest::TempDirectory dir;
    hosttest::FakeHost host;
    host::PluginInstance& plugin = host::PluginInstance::instance();
    std::string iniPath;
    std::uint16_t port = 0;
    int moduleHandle = 0;
    std::unique_ptr<ui::ConfigDialog> dialog;
};

} // namespace uitest
