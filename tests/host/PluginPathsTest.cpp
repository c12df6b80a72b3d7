#include "settings/PluginPaths.h"

#include "platform/PathSeparator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

/// `path` with the system's own separator.
std::string native(std::string path)
{
    std::replace(path.begin(), path.end(), '/', platform::pathSeparator);
    return path;
}

} // namespace

TEST(PluginPaths, SettingsAndDocumentRootBesideTheModule)
{
    struct Case {
        const char* module;
        const char* settings;
        const char* documentRoot;
    };
    const Case cases[] = {
        {"/opt/t/Plugins/gen_Tunelet.so", "/opt/t/Plugins/gen_Tunelet.ini", "/opt/t/Plugins/gen_Tunelet/skins"},
        {"/opt/t/Plugins/gen_Tunelet.so.1", "/opt/t/Plugins/gen_Tunelet.so.ini",
         "/opt/t/Plugins/gen_Tunelet.so/skins"},  // only the last extension goes
        {"/opt/t.d/Plugins/gen_Tunelet", "/opt/t.d/Plugins/gen_Tunelet.ini",
         "/opt/t.d/Plugins/gen_Tunelet/skins"},   // a dot in a folder name is no extension
        {"gen_Tunelet.so", "gen_Tunelet.ini", "gen_Tunelet/skins"},
        {"", ".ini", "/skins"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(host::settingsPathFor(native(c.module)), native(c.settings)) << c.module;
        EXPECT_EQ(host::defaultDocumentRootFor(native(c.module)), native(c.documentRoot)) << c.module;
    }
}

TEST(PluginPaths, AHomeFolderTakesTheModulesFiles)
{
    const struct {
        const char* home;
        const char* files;
    } cases[] = {
        {nullptr, "/usr/lib/t/Plugins/gen_Tunelet.so"},
        {"", "/usr/lib/t/Plugins/gen_Tunelet.so"},
        {"/var/lib/t/Plugins", "/var/lib/t/Plugins/gen_Tunelet.so"},
        {"/var/lib/t/Plugins/", "/var/lib/t/Plugins/gen_Tunelet.so"},
    };
    for (const auto& c : cases) {
        const std::string home = c.home ? native(c.home) : "";
        EXPECT_EQ(host::filesPathFor(native("/usr/lib/t/Plugins/gen_Tunelet.so"), c.home ? home.c_str() : nullptr),
                  native(c.files))
            << (c.home ? c.home : "null");
    }
}
