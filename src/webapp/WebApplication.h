#pragma once

#include "platform/WindowTypes.h"
#include "threading/Delegate.h"
#include "webapp/PlaylistClients.h"
#include "webapp/RouteTables.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace host {
class Settings;
}
namespace http {
class Response;
}
namespace library {
class MediaLibrary;
}
namespace webclient {
struct Resource;
}

namespace webapp {

struct RequestContext;
class LiveFeed;
class PlayerFacade;

/// The web application: its routes (the web client's embedded files and the
/// handlers behind the client), and the state the routes share. One per
/// plug-in instance, made at initialisation on the host's user-interface
/// thread and destroyed at quit after the server that hands it requests.
///
/// Threads: `dispatch` and the handlers run on the serving threads of the
/// server's dispatcher, several at once. The route tables are made by the constructor and never changed
/// after, so they are read without a lock. `playlistClients` is read and
/// changed only under `lock`.
class WebApplication {
public:
    using TemplateValues = std::map<std::string, std::string, std::less<>>;

    static constexpr const char* version = "3.1";

    /// Makes the media library with `settings`, then the player facade with
    /// `mainWindow` (which asks the player for its playlist editor, so run
    /// it on the player's thread or one that does not block it), and its
    /// route tables: the embedded web-client files, the status documents,
    /// the player commands, the library listings, downloads and streams,
    /// covers, the live stream (with its feed, whose watcher starts at the first
    /// listener), then `extraRoutes` (over a built-in route of the same name).
    /// `settings` (read for `enableML`) must outlive the application;
    /// `module` is the plug-in's own module handle, which the embedded files
    /// belong to.
    WebApplication(platform::HWND mainWindow, void* module, host::Settings& settings, RouteTable extraRoutes = {});
    ~WebApplication();
    WebApplication(const WebApplication&) = delete;
    WebApplication& operator=(const WebApplication&) = delete;

    /// Sets the caching headers every routed answer carries (and the media
    /// type for a known extension of the route name), then runs the route's
    /// handler. False, having sent nothing, when no route has that name.
    bool dispatch(RequestContext& context);

    /// Whether a route of that name serves an embedded web-client file.
    bool servesFile(std::string_view name) const;

    /// Sends the route's embedded file unchanged; the 404 page when the
    /// route serves none.
    void sendResource(RequestContext& context);
    /// Sends the route's embedded file with its <<NAME>> placeholders filled
    /// in (PLAYLIST_ID a new id, ML_ENABLED, VERSION and SESSION_NAME); the
    /// 404 page when the route serves none.
    void sendTemplate(RequestContext& context);

    /// Replaces every "<<name>>" by its value (unknown names by nothing).
    /// Values are not scanned again; a "<<" without a later ">>" ends the
    /// scan and stays, with the rest of the text.
    static std::string expandTemplate(std::string_view text, const TemplateValues& values);

    /// Ten letters "a" to "y" drawn from the system's random source (see
    /// platform/RandomSource.h), not yet a key of
    /// `playlistClients`. Not entered there. Takes `lock`.
    std::string newPlaylistId();

    /// The 404 page every unknown name gets.
    static void sendNotFound(http::Response& response);

    /// The only way to the player. Deleted before the library it borrows.
    std::unique_ptr<PlayerFacade> facade;
    /// The shared music, made with the settings.
    std::unique_ptr<library::MediaLibrary> library;
    /// The player's state for the "live" stream; deleted before the facade.
    std::unique_ptr<LiveFeed> live;

    /// The host player's main window.
    const platform::HWND mainWindow;
    /// The plug-in's own module, which holds the embedded files where the
    /// platform loads them from a module. Here they are compiled into the
    /// program (`webclient::findResource`), so it is only kept.
    void* const module;
    /// Not owned.
    host::Settings& settings;
    /// The web-client playlist ids that hold the current playlist, bounded.
    /// Guarded by `lock`.
    PlaylistClients playlistClients;
    /// Re-entrant: the routes that change the playlist hold it while they
    /// change it (not while a peer is asked for a listing) and call
    /// operations that take it again; "playlist.xml" holds it while it takes
    /// the player's changed flag and while it marks its client current.
    std::recursive_mutex lock;
    /// Told (argument 0, on the serving thread) after the settings page
    /// changed and saved the settings, so an open preferences dialog shows
    /// the new values.
    threading::Delegate settingsChanged;

private:
    /// The values `sendTemplate` fills in.
    TemplateValues templateValues(const RequestContext& context);
    /// The embedded file behind the context's route; null for a route of
    /// another kind.
    const webclient::Resource* fileFor(const RequestContext& context) const;

    const RouteTables tables;
};

} // namespace webapp
