#include "webapp/AdminRoutes.h"

#include "http/Crypto.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "message/Request.h"
#include "message/Response.h"
#include "http/StateStore.h"
#include "platform/RandomSource.h"
#include "platform/Socket.h"
#include "settings/Settings.h"
#include "webapp/RequestContext.h"
#include "webapp/ScriptText.h"
#include "webapp/ServerState.h"
#include "webapp/SettingsApply.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace webapp {

namespace {
namespace admin {

constexpr const char* tokenKey = "adminToken";
constexpr const char* tokenHeader = "X-Tunelet-Token";

std::string jsonText(std::string_view text)
{
    return '"' + scriptStringContent(text) + '"';
}

std::string jsonFlag(bool value)
{
    return value ? "true" : "false";
}

void sendAdminJson(RequestContext& context, int status, const char* reason, std::string body)
{
    http::Response& response = context.response;
    response.status = status;
    response.reason = reason;
    response.headers["Content-Type"] = "application/json; charset=UTF-8";
    response.headers["Cache-Control"] = "no-store";
    response.setBody(std::move(body));
    response.send();
}

void refuseAdmin(RequestContext& context, int status, const char* reason, std::string_view why)
{
    sendAdminJson(context, status, reason, "{\"error\":" + jsonText(why) + "}");
}

/// The session's change token, made at the first need: 128 random bits.
std::string tokenOf(http::StateStore& session)
{
    std::array<std::uint32_t, 4> words;
    platform::randomWords(words);
    char text[33];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", words[0], words[1], words[2], words[3]);
    return session.setIfEmpty(tokenKey, text);
}

/// Whether the request may see the settings; answers the refusal when not.
bool admitted(WebApplication& application, RequestContext& context)
{
    if (!context.server || !context.session) {
        WebApplication::sendNotFound(context.response);
        return false;
    }
    if (context.server->access()->requirePassword) {
        // The session step lets no request without the login this far.
        if (!context.request.authorizedSession.empty())
            return true;
    } else if (context.peer == platform::loopbackAddress() ||
               application.settings.read([](const host::SettingsData& values) { return values.adminFromLan; })) {
        return true;
    }
    refuseAdmin(context, 403, "Forbidden", "The settings can be changed only from this machine, or after a login.");
    return false;
}

/// As `admitted`, for a change: POST, with the session's token.
bool mayChange(WebApplication& application, RequestContext& context)
{
    if (!admitted(application, context))
        return false;
    if (context.request.method != http::Request::post) {
        context.response.headers["Allow"] = "POST";
        refuseAdmin(context, 405, "Method Not Allowed", "Changes are sent with POST.");
        return false;
    }
    std::string_view given;
    auto header = context.request.headers.find(std::string_view(tokenHeader));
    auto parameter = context.params.find("token");
    if (header != context.request.headers.end())
        given = header->second;
    else if (parameter != context.params.end())
        given = parameter->second;
    const std::string expected = context.session->get(tokenKey);
    if (expected.empty() || !http::equalSecret(given, expected)) {
        refuseAdmin(context, 403, "Forbidden", "The page is out of date: reload it.");
        return false;
    }
    return true;
}

std::string settingsObject(const SettingsForm& form)
{
    std::string directories;
    for (const std::string& directory : form.sharedDirs)
        directories += (directories.empty() ? "" : ",") + jsonText(directory);
    // The password is not sent back: the page sends one only to change it.
    return "{\"autoStart\":" + jsonFlag(form.autoStart) + ",\"address\":" + jsonText(form.address) +
           ",\"port\":" + jsonText(form.port) + ",\"timeout\":" + jsonText(form.timeout) +
           ",\"requirePassword\":" + jsonFlag(form.requirePassword) + ",\"username\":" + jsonText(form.username) +
           ",\"passwordSet\":" + jsonFlag(!form.password.empty()) + ",\"filterIPs\":" + jsonFlag(form.filterIPs) +
           ",\"allowedIPs\":" + jsonText(form.allowedIPs) + ",\"blockedIPs\":" + jsonText(form.blockedIPs) +
           ",\"allowedHosts\":" + jsonText(form.allowedHosts) + ",\"adminFromLan\":" + jsonFlag(form.adminFromLan) +
           ",\"enableML\":" + jsonFlag(form.enableML) + ",\"sharedDirs\":[" + directories + "]}";
}

std::string stateObject(WebApplication& application, TuneletServer& server)
{
    const ServerState state = serverStateOf(server);
    const bool indexing = application.library->isIndexing();
    const std::string status = indexing ? "Indexing the shared folders... " +
                                              std::to_string(application.library->indexer().entryCount()) + " so far"
                                        : indexStatus(application);
    return "\"server\":{\"running\":" + jsonFlag(state.running) + ",\"state\":" + jsonText(serverStateText(state)) +
           "},\"index\":{\"indexing\":" + jsonFlag(indexing) + ",\"status\":" + jsonText(status) + "}";
}

void sendSettings(WebApplication& application, RequestContext& context)
{
    if (!admitted(application, context))
        return;
    const SettingsForm form = SettingsForm::of(application.settings.snapshot());
    sendAdminJson(context, 200, "OK",
             "{\"token\":" + jsonText(tokenOf(*context.session)) + ",\"version\":" + jsonText(WebApplication::version) +
                 ",\"settings\":" + settingsObject(form) + "," + stateObject(application, *context.server) + "}");
}

void sendClients(WebApplication& application, RequestContext& context)
{
    if (!admitted(application, context))
        return;
    const http::ActivityList list = context.server->activityList();
    std::string rows;
    // Newest first, as the dialog's Activity page lists them.
    for (auto entry = list.rbegin(); entry != list.rend(); ++entry) {
        rows += (rows.empty() ? "" : ",");
        rows += "{\"address\":" + jsonText(entry->first) + ",\"request\":" + jsonText(entry->second) + "}";
    }
    sendAdminJson(context, 200, "OK", "{\"clients\":[" + rows + "]}");
}

/// The form as sent: the saved values, with every field the request names
/// replaced.
SettingsForm formFrom(const RequestContext& context, SettingsForm form)
{
    auto text = [&](const char* name, std::string& field) {
        if (auto found = context.params.find(name); found != context.params.end())
            field = found->second;
    };
    auto box = [&](const char* name, bool& field) {
        if (auto found = context.params.find(name); found != context.params.end())
            field = found->second == "1" || found->second == "true" || found->second == "on";
    };
    box("autoStart", form.autoStart);
    text("address", form.address);
    text("port", form.port);
    text("timeout", form.timeout);
    box("requirePassword", form.requirePassword);
    text("username", form.username);
    text("password", form.password);
    box("filterIPs", form.filterIPs);
    text("allowedIPs", form.allowedIPs);
    text("blockedIPs", form.blockedIPs);
    text("allowedHosts", form.allowedHosts);
    box("adminFromLan", form.adminFromLan);
    box("enableML", form.enableML);
    if (auto found = context.params.find("sharedDirs"); found != context.params.end()) {
        form.sharedDirs.clear();
        std::string_view lines = found->second;
        while (!lines.empty()) {
            const std::size_t end = lines.find('\n');
            std::string_view line = lines.substr(0, end);
            if (line.ends_with('\r'))
                line.remove_suffix(1);
            form.sharedDirs.emplace_back(line);
            lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
        }
    }
    return form;
}

void apply(WebApplication& application, RequestContext& context)
{
    if (!mayChange(application, context))
        return;
    const SettingsForm form = formFrom(context, SettingsForm::of(application.settings.snapshot()));
    const FormMessages messages = saveForm(application.settings, form);
    sendAdminJson(context, messages.accepted() ? 200 : 400, messages.accepted() ? "OK" : "Bad Request",
             "{\"accepted\":" + jsonFlag(messages.accepted()) + ",\"messages\":{\"address\":" + jsonText(messages.address) +
                 ",\"port\":" + jsonText(messages.port) + ",\"timeout\":" + jsonText(messages.timeout) +
                 "},\"settings\":" + settingsObject(SettingsForm::of(application.settings.snapshot())) + "}");
    // After the answer: a restart ends this connection too.
    applyToServer(*context.server, application.settings, RestartWhen::moved);
    application.settingsChanged.invoke(0);
}

void start(WebApplication& application, RequestContext& context)
{
    if (!mayChange(application, context))
        return;
    TuneletServer& server = *context.server;
    const bool started = server.restart(handServerSettings(server, application.settings.snapshot()));
    sendAdminJson(context, 200, "OK", "{\"started\":" + jsonFlag(started) + "}");
}

void stop(WebApplication& application, RequestContext& context)
{
    if (!mayChange(application, context))
        return;
    sendAdminJson(context, 200, "OK", "{\"stopping\":true}");
    // After the answer: the stop ends this connection.
    context.server->stop();
}

void reindex(WebApplication& application, RequestContext& context)
{
    if (!mayChange(application, context))
        return;
    const bool started = startReindex(application);
    sendAdminJson(context, 200, "OK", "{\"started\":" + jsonFlag(started) + "}");
}

void page(WebApplication& application, RequestContext& context)
{
    // No other site may show the page inside its own, to have it clicked.
    context.response.headers["X-Frame-Options"] = "DENY";
    context.response.headers["Content-Security-Policy"] = "frame-ancestors 'none'";
    application.sendResource(context);
}

} // namespace admin
} // namespace

void addAdminRoutes(RouteTable& routes)
{
    using namespace admin;
    routes.insert_or_assign("admin", page);
    routes.insert_or_assign("admin/settings.json", sendSettings);
    routes.insert_or_assign("admin/clients.json", sendClients);
    routes.insert_or_assign("admin/apply", apply);
    routes.insert_or_assign("admin/start", start);
    routes.insert_or_assign("admin/stop", stop);
    routes.insert_or_assign("admin/reindex", reindex);
}

} // namespace webapp
