#pragma once

namespace host {
class Settings;
}
namespace webapp {
class TuneletServer;
class WebApplication;
}

namespace ui {

/// Runs the preferences dialog modally over the application's active window
/// and returns once it is closed; true. False, showing nothing, when the
/// process has no widget application (a headless host). While a dialog is
/// open a second call only brings it to the front.
bool runConfigDialog(host::Settings& settings, webapp::TuneletServer& server, webapp::WebApplication& webApplication);

} // namespace ui
