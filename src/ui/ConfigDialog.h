#pragma once

#include "http/Server.h"
#include "ui/ConfigMessages.h"

#include <QDialog>

#include <array>
#include <string>

class QListWidget;
class QStackedLayout;

namespace host {
class Settings;
struct SettingsData;
}
namespace webapp {
class TuneletServer;
class WebApplication;
}

namespace ui {

class ConfigPage;
class ConfigServerDialog;
class ConfigSecurityDialog;
class ConfigActivityDialog;
class ConfigLibraryDialog;
class ConfigAboutDialog;

/// The preferences dialog, "Tunelet Configuration": the page list (3011) on
/// the left selects one of five pages (Server, Security, Activity, Library,
/// About) shown in the frame (3015) on the right. Every control carries its
/// numeric identifier as its object name.
///
/// The settings are copied from the controls and saved (`readControls`) on
/// Start, Stop, Reindex, a click on a Security check box, OK and closing;
/// closing always applies (there is no cancel): the server gets the new
/// settings and, when it runs, restarts on them.
///
/// Threads: made, run and destroyed on the user-interface thread, where
/// every control changes. The server's and the indexer's threads reach it
/// only by posting (DialogNotifications). Borrows the settings, the server
/// and the web application, which must outlive it.
class ConfigDialog final : public QDialog {
public:
    static constexpr const char* caption = "Tunelet Configuration";

    ConfigDialog(host::Settings& settings, webapp::TuneletServer& server, webapp::WebApplication& webApplication,
                 QWidget* parent = nullptr);
    ~ConfigDialog() override;

    /// Handles `message` at once (dialog thread).
    void send(unsigned message, const std::string& text = {});
    /// Queues `message` for the dialog's thread. Any thread.
    void post(unsigned message, std::string text = {});

    /// Sets every control from the settings and the state of the server and
    /// the indexer.
    void fillControls();
    /// Copies the controls to the settings, in one change, and saves. A
    /// port, time-out or address text that is not one keeps the value the
    /// settings had and shows why beside its edit; false then.
    bool readControls();

    /// OK and the close box: read and save, then detach the Activity page,
    /// apply and close (all posted). With a field that cannot be taken it
    /// shows the Server page and stays open instead.
    void closeAsOk();
    /// The close box and Escape: as OK.
    void reject() override;

    int currentPage() const { return current; }
    ConfigServerDialog& serverPage() const { return *server_; }
    ConfigSecurityDialog& securityPage() const { return *security; }
    ConfigActivityDialog& activityPage() const { return *activity; }
    ConfigLibraryDialog& libraryPage() const { return *library; }
    ConfigAboutDialog& aboutPage() const { return *about; }
    QListWidget* pageList() const { return list; }

protected:
    void customEvent(QEvent* event) override;

private:
    void showPage(int index);
    void reindex();
    void apply();
    void showIndexStatus();

    host::Settings& settings;
    webapp::TuneletServer& server;
    webapp::WebApplication& webApplication;

    QListWidget* list = nullptr;      // 3011
    QStackedLayout* frame = nullptr;  // inside 3015
    ConfigServerDialog* server_ = nullptr;
    ConfigSecurityDialog* security = nullptr;
    ConfigActivityDialog* activity = nullptr;
    ConfigLibraryDialog* library = nullptr;
    ConfigAboutDialog* about = nullptr;
    std::array<ConfigPage*, 5> pages{};
    int current = 0;
    bool closing = false;
    PostBox postBox;
};

} // namespace ui
