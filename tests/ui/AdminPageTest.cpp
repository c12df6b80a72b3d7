// The settings page's routes against the running plug-in with its
// preferences dialog open: what the page sends lands in the file and the
// dialog, is judged by the dialog's rules, and only for a request that may.
#include "host/FakeHost.h"
#include "host/PluginInstance.h"
#include "host/TempDirectory.h"
#include "http/support/RawClient.h"
#include "message/UrlCoding.h"
#include "platform/Socket.h"
#include "settings/Settings.h"
#include "ui/ConfigDialog.h"
#include "webapp/TuneletServer.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

using hosttest::TempDirectory;
using testing_support::RawClient;

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::uint16_t freePort()
{
    platform::UniqueFd probe = platform::listenTcp(0, 0);
    return platform::boundPort(probe.get());
}

bool eventually(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 10000);
}

template <class Control>
Control* controlIn(const ui::ConfigDialog& dialog, int id)
{
    return dialog.findChild<Control*>(QString::number(id));
}

std::string formBody(const Fields& fields)
{
    std::string body;
    for (const auto& [name, value] : fields)
        body += (body.empty() ? "" : "&") + name + "=" + http::urlEncode(value);
    return body;
}

class AdminPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.root / "Plugins");
        iniPath = dir.path("Plugins/gen_Tunelet.ini");
        port = freePort();
        TempDirectory::writeText(iniPath, "[Tunelet Remote Control Plugin v1.0]\r\nlistenPort=" +
                                              std::to_string(port) + "\r\n");
        plugin.pluginRecord()->hwndParent = host.window();
        plugin.pluginRecord()->hDllInstance = &moduleHandle;
        plugin.initFrom(dir.path("Plugins/gen_Tunelet.so"));
        ASSERT_TRUE(eventually([&] { return server().listeningPort() == port; }));
        dialog = std::make_unique<ui::ConfigDialog>(*plugin.getSettings(), server(), *plugin.getWebApplication());
        dialog->show();
        cookie = "Cookie: Tunelet=" + server().sessions().issue().first + "\r\n";
    }
    void TearDown() override
    {
        dialog.reset();
        plugin.quit();
    }

    webapp::TuneletServer& server() { return *plugin.getServer(); }
    host::SettingsData saved() const { return host::Settings(iniPath).snapshot(); }
    template <class Control>
    Control* control(int id) const
    {
        return controlIn<Control>(*dialog, id);
    }

    /// One request on a new connection, from `source` (a loopback address).
    RawClient::Answer ask(const std::string& head, const std::string& body = {}, const char* source = "127.0.0.1")
    {
        RawClient client(port, source, 1 << 16);
        const std::string length = body.empty() ? "" : "Content-Length: " + std::to_string(body.size()) + "\r\n";
        const std::string type = body.empty() ? "" : "Content-Type: application/x-www-form-urlencoded\r\n";
        client.send(head + "Host: 127.0.0.1\r\n" + cookie + type + length + "\r\n" + body);
        return client.readAnswer();
    }
    RawClient::Answer getSettings(const char* source = "127.0.0.1")
    {
        return ask("GET /admin/settings.json HTTP/1.1\r\n", {}, source);
    }
    /// The session's change token, as the page reads it.
    std::string token()
    {
        std::smatch found;
        const std::string body = getSettings().body;
        return std::regex_search(body, found, std::regex("\"token\":\"([0-9a-f]{32})\"")) ? found[1].str() : "";
    }
    RawClient::Answer apply(const Fields& fields, const std::string& headers = {})
    {
        return ask("POST /admin/apply HTTP/1.1\r\nX-Tunelet-Token: " + token() + "\r\n" + headers, formBody(fields));
    }

    TempDirectory dir;
    hosttest::FakeHost host;
    host::PluginInstance& plugin = host::PluginInstance::instance();
    std::string iniPath;
    std::uint16_t port = 0;
    int moduleHandle = 0;
    std::string cookie;
    std::unique_ptr<ui::ConfigDialog> dialog;
};

} // namespace

TEST_F(AdminPageTest, EverySettingGoesFromThePageToTheFileAndTheDialog)
{
    const struct {
        const char* field;
        const char* sent;
        std::function<bool(const host::SettingsData&)> inFile;
        std::function<bool(const ui::ConfigDialog&)> inDialog;
    } cases[] = {
        {"autoStart", "0", [](auto& s) { return !s.autoStart; },
         [](auto& d) { return !controlIn<QCheckBox>(d, 3017)->isChecked(); }},
        {"timeout", "120", [](auto& s) { return s.timeout == 120; },
         [](auto& d) { return controlIn<QLineEdit>(d, 3018)->text() == "120"; }},
        {"address", "127.0.0.1", [](auto& s) { return s.listenIP == "127.0.0.1"; },
         [](auto& d) { return controlIn<QLineEdit>(d, 3022)->text() == "127.0.0.1"; }},
        {"username", "dj", [](auto& s) { return s.username == "dj"; },
         [](auto& d) { return controlIn<QLineEdit>(d, 3033)->text() == "dj"; }},
        {"password", "se=cret&", [](auto& s) { return s.password == "se=cret&"; },
         [](auto& d) { return controlIn<QLineEdit>(d, 3024)->text() == "se=cret&"; }},
        {"filterIPs", "1", [](auto& s) { return s.filterIPs; },
         [](auto& d) { return controlIn<QCheckBox>(d, 3027)->isChecked(); }},
        {"allowedIPs", "127.0.0.1\n10.0.0.*", [](auto& s) { return s.allowedIPs == "127.0.0.1\r\n10.0.0.*"; },
         [](auto& d) { return controlIn<QPlainTextEdit>(d, 3028)->toPlainText() == "127.0.0.1\n10.0.0.*"; }},
        {"blockedIPs", "10.0.0.9", [](auto& s) { return s.blockedIPs == "10.0.0.9"; },
         [](auto& d) { return controlIn<QPlainTextEdit>(d, 3030)->toPlainText() == "10.0.0.9"; }},
        {"allowedHosts", "music.home", [](auto& s) { return s.allowedHosts == "music.home"; },
         [](auto& d) { return controlIn<QLineEdit>(d, 3043)->text() == "music.home"; }},
        {"adminFromLan", "1", [](auto& s) { return s.adminFromLan; },
         [](auto& d) { return controlIn<QCheckBox>(d, 3044)->isChecked(); }},
        {"enableML", "0", [](auto& s) { return !s.enableML; },
         [](auto& d) { return !controlIn<QCheckBox>(d, 3036)->isChecked(); }},
        {"sharedDirs", "/srv/b\n/srv/A/",
         [](auto& s) { return s.sharedDirs == std::vector<std::string>{"/srv/A", "/srv/b"}; },
         [](auto& d) { return controlIn<QListWidget>(d, 3035)->count() == 2; }},
        // Last: from here on every request needs the login.
        {"requirePassword", "1", [](auto& s) { return s.requirePassword; },
         [](auto& d) { return controlIn<QCheckBox>(d, 3031)->isChecked(); }},
    };
    Fields fields;
    for (const auto& c : cases)
        fields.emplace_back(c.field, c.sent);
    const RawClient::Answer answer = apply(fields);
    ASSERT_EQ(answer.status, 200) << answer.body;

    const host::SettingsData file = saved();
    for (const auto& c : cases)
        EXPECT_TRUE(c.inFile(file)) << c.field;
    for (const auto& c : cases)
        EXPECT_TRUE(eventually([&] { return c.inDialog(*dialog); })) << c.field;
    // The dialog takes back what it shows through its own rules: unchanged.
    EXPECT_TRUE(dialog->readControls());
    EXPECT_EQ(saved(), file);
    EXPECT_EQ(getSettings().status, 401);
}

TEST_F(AdminPageTest, BadValuesAreRefusedWithTheDialogsMessages)
{
    const struct {
        const char* field;
        const char* sent;
        int edit;
        const char* label;
    } cases[] = {
        {"port", "70000", 3019, "portMessage"}, {"port", "abc", 3019, "portMessage"},
        {"timeout", "ten", 3018, "timeoutMessage"}, {"address", "300.1.1.1", 3022, "addressMessage"},
    };
    const host::SettingsData before = saved();
    for (const auto& c : cases) {
        const RawClient::Answer answer = apply({{c.field, c.sent}});
        EXPECT_EQ(answer.status, 400) << c.sent;
        control<QLineEdit>(c.edit)->setText(c.sent);
        EXPECT_FALSE(dialog->readControls());
        const std::string message = dialog->findChild<QLabel*>(c.label)->text().toStdString();
        EXPECT_FALSE(message.empty());
        EXPECT_NE(answer.body.find("\"" + std::string(c.field) + "\":\"" + message + "\""), std::string::npos)
            << answer.body << " / " << message;
        EXPECT_EQ(saved().listenPort, before.listenPort);
        EXPECT_EQ(saved().listenIP, before.listenIP);
        dialog->send(ui::CM_REFRESH);
    }
    // The fields that were good are taken, as the dialog takes them.
    EXPECT_EQ(apply({{"port", "0"}, {"timeout", "77"}}).status, 400);
    EXPECT_EQ(saved().timeout, 77);
    EXPECT_EQ(saved().listenPort, before.listenPort);
}

TEST_F(AdminPageTest, ANewPortRestartsTheServerThere)
{
    const std::uint16_t newPort = freePort();
    ASSERT_EQ(apply({{"port", std::to_string(newPort)}}).status, 200);
    EXPECT_EQ(saved().listenPort, newPort);
    ASSERT_TRUE(eventually([&] { return server().listeningPort() == newPort; }));
    EXPECT_FALSE(RawClient(port).isConnected());
    EXPECT_TRUE(eventually([&] { return control<QLineEdit>(3019)->text() == QString::number(newPort); }));
}

TEST_F(AdminPageTest, NoChangeWithoutTheTokenOrFromAnotherSite)
{
    const std::string good = token();
    const std::string body = formBody({{"timeout", "5"}, {"token", good}});
    const struct {
        const char* what;
        std::string head;
        std::string body;
        int status;
    } cases[] = {
        {"no token", "POST /admin/apply HTTP/1.1\r\n", "timeout=5", 403},
        {"another token", "POST /admin/apply HTTP/1.1\r\nX-Tunelet-Token: 0123456789abcdef0123456789abcdef\r\n",
         "timeout=5", 403},
        {"a link or an image", "GET /admin/apply?timeout=5&token=" + good + " HTTP/1.1\r\n", "", 405},
        {"another site's form", "POST /admin/apply HTTP/1.1\r\nSec-Fetch-Site: cross-site\r\n", body, 403},
        {"another origin", "POST /admin/apply HTTP/1.1\r\nOrigin: http://evil.example\r\n", body, 403},
        {"another site's reindex", "POST /admin/reindex HTTP/1.1\r\nOrigin: http://evil.example\r\n", body, 403},
        {"a stop without token", "POST /admin/stop HTTP/1.1\r\n", "", 403},
    };
    const std::string before = TempDirectory::readText(iniPath);
    for (const auto& c : cases) {
        EXPECT_EQ(ask(c.head, c.body).status, c.status) << c.what;
        EXPECT_EQ(TempDirectory::readText(iniPath), before) << c.what;
    }
    EXPECT_NE(server().threadId(), 0u);
    // The same change with the token, from the page itself, is taken.
    EXPECT_EQ(ask("POST /admin/apply HTTP/1.1\r\n", body).status, 200);
    EXPECT_EQ(saved().timeout, 5);
}

TEST_F(AdminPageTest, OtherMachinesOnlyWhenAllowedOrLoggedIn)
{
    const char* lan = "127.0.0.2";  // stands for any address but 127.0.0.1
    EXPECT_EQ(getSettings(lan).status, 403);
    EXPECT_EQ(ask("GET /admin/clients.json HTTP/1.1\r\n", {}, lan).status, 403);
    EXPECT_EQ(getSettings().status, 200);

    // The dialog's box opens it; what the dialog saves, the page reads.
    control<QCheckBox>(3044)->setChecked(true);
    control<QLineEdit>(3018)->setText("61");
    dialog->send(ui::CM_SAVE);
    const RawClient::Answer opened = getSettings(lan);
    EXPECT_EQ(opened.status, 200);
    EXPECT_NE(opened.body.find("\"timeout\":\"61\""), std::string::npos) << opened.body;

    // With a password every client logs in first, this machine too.
    control<QCheckBox>(3031)->click();
    dialog->send(ui::CM_APPLY);
    EXPECT_TRUE(eventually([&] { return getSettings().status == 401; }));
    EXPECT_EQ(getSettings(lan).status, 401);
}
