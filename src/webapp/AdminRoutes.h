#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// The settings page's routes: "admin" (the page, never inside another
/// site's frame), "admin/settings.json" (what the preferences dialog shows,
/// the server's and the indexer's state, and the session's change token),
/// "admin/clients.json" (the live connections, newest first), and the
/// changes, POST only: "admin/apply" (the dialog's fields as form
/// parameters; one left out keeps its value), "admin/start", "admin/stop"
/// and "admin/reindex".
///
/// Who may: with a password required, whoever the server authorised (as
/// for every route); without, only a client on 127.0.0.1, unless the
/// settings open the page to the LAN ("Admin From LAN"). Anyone else gets
/// 403. A change also needs the token the session was given, in the
/// "X-Tunelet-Token" header or the "token" parameter (403 without it; 405
/// for another method than POST). The settings are taken, saved and put in
/// force as the dialog does (see SettingsApply.h); a new address or port
/// restarts a running server once the answer has gone out, and an open
/// dialog hears of every change (`WebApplication::settingsChanged`).
///
/// Answers are JSON. Serving threads; the routes answer 404 offline (no
/// server in the context).
void addAdminRoutes(RouteTable& routes);

} // namespace webapp
