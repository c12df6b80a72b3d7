// The Win32 preferences dialog driven by messages, as a user would drive it:
// texts typed, boxes ticked, pages picked, OK pressed; then the settings
// record and the file's bytes.
#include "settings/Settings.h"
#include "ui/win32/ConfigDialog.h"
#include "ui/win32/DialogResources.h"
#include "ui/win32/DialogServices.h"
#include "ui/win32/WindowText.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

using namespace ui::win32;

/// The dialog's outside world: the settings saved to a file of their own,
/// and a server that only counts what it was asked.
class FakeServices final : public DialogServices {
public:
    explicit FakeServices(host::Settings& settings) : settings_(settings) {}
    host::SettingsData settings() const override { return settings_.snapshot(); }
    webapp::FormMessages saveForm(const webapp::SettingsForm& form) override
    {
        const auto messages = settings_.update([&](host::SettingsData& data) { return webapp::takeForm(form, data); });
        settings_.save();
        return messages;
    }
    bool serverRunning() const override { return running; }
    void startServer() override { running = true; }
    void stopServer() override { running = false; }
    void applyToServer() override { ++applied; }
    bool indexing() const override { return false; }
    std::string indexStatus() const override { return "Last index of 10 files took \n59 seconds"; }
    void reindex() override {}
    void notify(HWND) override {}
    void notifyActivity(HWND) override {}

    bool running = false;
    int applied = 0;

private:
    host::Settings& settings_;
};

enum Page { server, security, activity, library, about };

class ConfigDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove(path);
        ASSERT_NE(dialog.create(), nullptr);
        ShowWindow(dialog.window(), SW_SHOW);
    }
    void TearDown() override { std::filesystem::remove(path); }

public:
    HWND item(Page page, int id) const { return GetDlgItem(dialog.page(page), id); }
    void type(Page page, int id, const char* text) const { setWindowText(item(page, id), text); }
    void click(Page page, int id) const
    {
        SendMessageW(dialog.page(page), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(item(page, id)));
    }
    void pump() const
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    /// OK, then the posted messages; whether the dialog closed.
    bool pressOk() const
    {
        HWND window = dialog.window();
        SendMessageW(window, WM_COMMAND, IDOK, 0);
        pump();
        return !IsWindow(window);
    }
    /// Whether the file holds `lines` one after the other (each line's break
    /// is the INI writer's business).
    bool fileHas(std::string lines) const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::string text = bytes.str();
        std::erase(text, '\r');
        return text.find('\n' + lines + '\n') != std::string::npos;
    }

    std::string path = (std::filesystem::temp_directory_path() / "tunelet-dialog-test.ini").string();
    host::Settings settings{path};
    FakeServices services{settings};
    ConfigDialog dialog{GetModuleHandleW(nullptr), nullptr, services};
};

TEST_F(ConfigDialogTest, OkTakesEveryControlIntoTheRecordAndTheFile)
{
    struct Case {
        const char* name;
        std::function<void(ConfigDialogTest&)> drive;
        std::function<bool(const host::SettingsData&)> taken;
        const char* lines;  // in the file
    };
    const Case cases[] = {
        {"port", [](auto& t) { t.type(server, IDC_PORT, " 8080 "); },
         [](auto& s) { return s.listenPort == 8080; }, "listenPort=8080"},
        {"address",
         [](auto& t) { SendMessageW(t.item(server, IDC_ADDRESS), IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 1, 20)); },
         [](auto& s) { return s.listenIP == "192.168.1.20"; }, "listenIP=192.168.1.20"},
        {"blank address", [](auto& t) { SendMessageW(t.item(server, IDC_ADDRESS), IPM_CLEARADDRESS, 0, 0); },
         [](auto& s) { return s.listenIP == "0.0.0.0"; }, "listenIP=0.0.0.0"},
        {"time-out", [](auto& t) { t.type(server, IDC_TIMEOUT, "30"); },
         [](auto& s) { return s.timeout == 30; }, "timeout=30"},
        {"auto-start off",
         [](auto& t) { SendMessageW(t.item(server, IDC_AUTO_START), BM_SETCHECK, BST_UNCHECKED, 0); },
         [](auto& s) { return !s.autoStart; }, "autoStart=0"},
        {"credentials cut to 31",
         [](auto& t) {
             t.type(security, IDC_USERNAME, "ann");
             t.type(security, IDC_PASSWORD, "0123456789012345678901234567890123");
         },
         [](auto& s) { return s.username == "ann" && s.password == "0123456789012345678901234567890"; },
         "username=ann\npassword=0123456789012345678901234567890"},
        {"filter lists",
         [](auto& t) {
             t.type(security, IDC_ALLOWED_IPS, "10.0.0.*\r\n192.168.*");
             t.type(security, IDC_BLOCKED_IPS, "10.0.0.9");
         },
         [](auto& s) { return s.allowedIPs == "10.0.0.*\r\n192.168.*" && s.blockedIPs == "10.0.0.9"; },
         "Allowed IPs=10.0.0.*\\r\\n192.168.*\nBlocked Ips=10.0.0.9"},
        {"shared folders sorted",
         [](auto& t) {
             for (const wchar_t* folder : {L"c:\\Music", L"B:\\Zed", L"a:\\Tapes"})
                 SendMessageW(t.item(library, IDC_SHARED_DIRS), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder));
         },
         [](auto& s) { return s.sharedDirs == std::vector<std::string>{"a:\\Tapes", "B:\\Zed", "c:\\Music"}; },
         "Shared Dirs=a:\\Tapes;B:\\Zed;c:\\Music;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case on a fresh window over the default settings.
        settings.replace(host::SettingsData{});
        if (!dialog.window()) {
            ASSERT_NE(dialog.create(), nullptr);
            ShowWindow(dialog.window(), SW_SHOW);
        }
        c.drive(*this);
        ASSERT_TRUE(pressOk());
        EXPECT_TRUE(c.taken(settings.snapshot()));
        EXPECT_TRUE(fileHas(c.lines));
        EXPECT_EQ(services.applied, 1);
        services.applied = 0;
    }
}

TEST_F(ConfigDialogTest, ABadNumberKeepsTheOldValueSaysWhyAndStaysOpen)
{
    const struct {
        int control;
        const char* text;
        const char* message;
    } cases[] = {
        {IDC_PORT, "70000", "The port must be a number from 1 to 65535; kept 5151"},
        {IDC_PORT, "80a", "The port must be a number from 1 to 65535; kept 5151"},
        {IDC_TIMEOUT, "-5", "The timeout must be a number of seconds; kept 900"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        dialog.fillControls();
        type(security, IDC_USERNAME, "kept too");
        type(server, c.control, c.text);
        EXPECT_FALSE(pressOk());
        EXPECT_EQ(windowText(item(server, IDC_SERVER_MESSAGE)), c.message);
        EXPECT_EQ(settings.snapshot().listenPort, 5151);
        EXPECT_EQ(settings.snapshot().timeout, 900);
        EXPECT_EQ(settings.snapshot().username, "kept too");  // the rest was taken
        EXPECT_TRUE(fileHas("listenPort=5151"));
        EXPECT_EQ(services.applied, 0);
    }
}

TEST_F(ConfigDialogTest, PagesButtonsAndLists)
{
    // The Server page first; picking an entry shows its page alone.
    EXPECT_EQ(dialog.currentPage(), server);
    for (const Page page : {library, security, about, activity}) {
        LVITEMW selected{};
        selected.stateMask = LVIS_SELECTED;
        selected.state = LVIS_SELECTED;
        SendDlgItemMessageW(dialog.window(), IDC_PAGE_LIST, LVM_SETITEMSTATE, page, reinterpret_cast<LPARAM>(&selected));
        EXPECT_EQ(dialog.currentPage(), page);
        for (const Page other : {server, security, activity, library, about})
            EXPECT_EQ(IsWindowVisible(dialog.page(other)) != FALSE, other == page) << page << " " << other;
    }
    // "Require Authentication" is saved at once and enables the credentials.
    EXPECT_FALSE(IsWindowEnabled(item(security, IDC_USERNAME)));
    click(security, IDC_REQUIRE_PASSWORD);
    EXPECT_TRUE(settings.snapshot().requirePassword);
    EXPECT_TRUE(fileHas("requirePassword=1"));
    EXPECT_TRUE(IsWindowEnabled(item(security, IDC_USERNAME)));
    // Start is disabled at once; the refresh after the server's news swaps them.
    click(server, IDC_START);
    pump();
    EXPECT_TRUE(services.running);
    SendMessageW(dialog.window(), CM_REFRESH, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(item(server, IDC_START)));
    EXPECT_TRUE(IsWindowEnabled(item(server, IDC_STOP)));
    EXPECT_EQ(windowText(item(library, IDC_INDEX_STATUS)), "Last index of 10 files took \r\n59 seconds");
    // Three selected folders of four go at one click.
    HWND folders = item(library, IDC_SHARED_DIRS);
    for (const wchar_t* folder : {L"A:\\1", L"A:\\2", L"A:\\3", L"A:\\4"})
        SendMessageW(folders, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder));
    for (const int index : {0, 2, 3})
        SendMessageW(folders, LB_SETSEL, TRUE, index);
    click(library, IDC_REMOVE_DIR);
    ASSERT_EQ(SendMessageW(folders, LB_GETCOUNT, 0, 0), 1);
    // The close box is OK.
    HWND window = dialog.window();
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    pump();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(settings.snapshot().sharedDirs, std::vector<std::string>{"A:\\2"});
}

} // namespace
