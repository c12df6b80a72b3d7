#pragma once

#include "threading/Callback.h"
#include "ui/win32/DialogServices.h"

#include <mutex>

namespace host {
class Settings;
}
namespace webapp {
class TuneletServer;
class WebApplication;
}

namespace ui::win32 {

/// The dialog's services on the plug-in's real settings, server and library
/// (webapp's SettingsApply steps, shared with the settings web page).
/// Subscribes to the server's and the indexer's news while it lives; they
/// arrive on those objects' threads and are only posted to the windows
/// named by `notify`/`notifyActivity`. Borrows what it is given.
class ServerDialogServices final : public DialogServices {
public:
    ServerDialogServices(host::Settings& settings, webapp::TuneletServer& server,
                         webapp::WebApplication& webApplication);
    ~ServerDialogServices() override;

    host::SettingsData settings() const override;
    webapp::FormMessages saveForm(const webapp::SettingsForm& form) override;
    bool serverRunning() const override;
    void startServer() override;
    void stopServer() override;
    void applyToServer() override;
    bool indexing() const override;
    std::string indexStatus() const override;
    void reindex() override;
    void notify(HWND dialog) override;
    void notifyActivity(HWND page) override;

private:
    host::Settings& settings_;
    webapp::TuneletServer& server;
    webapp::WebApplication& webApplication;
};

} // namespace ui::win32
