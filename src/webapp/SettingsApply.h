#pragma once

#include "http/Server.h"
#include "webapp/SettingsForm.h"

#include <string>

namespace host {
class Settings;
}

namespace webapp {

class TuneletServer;
class WebApplication;

/// The steps the preferences dialog and the settings page take alike, so a
/// value typed in either is taken, saved and put in force the same way.
/// Any thread (the dialog's, or a serving thread for the page); the objects
/// named are borrowed.

/// Takes `form` into the settings in one change (`takeForm`) and saves them
/// whole. Values that were not taken keep theirs; the messages say why.
FormMessages saveForm(host::Settings& settings, const SettingsForm& form);

/// Hands the server the access rules and time-out of `values`; returns the
/// endpoint they name, for a start or a restart.
http::Endpoint handServerSettings(TuneletServer& server, const host::SettingsData& values);

/// Hands the server the saved settings and, when it runs, has it listen anew:
/// always (`RestartWhen::running`, what closing the dialog does), or only on
/// a new address or port (`RestartWhen::moved`, so a page that changes a
/// password does not cut every client's connection).
enum class RestartWhen { running, moved };
void applyToServer(TuneletServer& server, const host::Settings& settings, RestartWhen when);

/// Starts a rebuild of the index over the saved shared directories, unless
/// one runs (it keeps the directories it started with). Whether one started.
bool startReindex(WebApplication& application);

/// The Library page's status text while no rebuild runs: the last rebuild's
/// report, or what index there is (host::indexStatusText).
std::string indexStatus(const WebApplication& application);

} // namespace webapp
