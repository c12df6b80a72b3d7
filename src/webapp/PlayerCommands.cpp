#include "webapp/PlayerCommands.h"

#include "library/MediaLibrary.h"
#include "platform/PlayerMessages.h"
#include "webapp/PlayerFacade.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/RouteTables.h"
#include "webapp/WebApplication.h"

#include <mutex>

namespace webapp {

using namespace platform;

namespace {

using App = WebApplication;
using Context = RequestContext;

std::string number(LRESULT value)
{
    return std::to_string(static_cast<long long>(value));
}

std::string flag(bool on)
{
    return on ? "1" : "0";
}

bool settingIsOn(const Context& context)
{
    return parameter(context, "setting") == "on";
}

/// The commands without parameters that answer "1".
RouteHandler commandRoute(int id)
{
    return [id](App& app, Context& context) {
        app.facade->command(id);
        sendText(context, "1");
    };
}

/// A command after which the player's new position is the answer.
RouteHandler stepRoute(int id)
{
    return [id](App& app, Context& context) {
        app.facade->command(id);
        sendText(context, number(app.facade->ipc(IPC_GETLISTPOS)));
    };
}

/// Where a file route puts its item; -1 appends.
using Placement = int (*)(App& app, const Context& context);

/// "enqueuefile", "enqueuefilenext" and "insertfile": the "filename"
/// parameter, when the library allows it, at the place `where` gives.
RouteHandler fileRoute(Placement where)
{
    return [where](App& app, Context& context) {
        std::lock_guard guard(app.lock);
        const std::string filename = parameter(context, "filename");
        bool added = false;
        if (app.library->isPathAllowed(filename))
            added = app.facade->insert({filename, parameter(context, "title"), 0}, where(app, context));
        sendText(context, flag(added));
    };
}

void playFile(App& app, Context& context)
{
    std::lock_guard guard(app.lock);
    const std::string filename = parameter(context, "filename");
    bool added = false;
    // A refused file leaves the player as it was.
    if (app.library->isPathAllowed(filename)) {
        app.facade->command(WINAMP_BUTTON4);
        app.facade->ipc(IPC_DELETE);
        added = app.facade->insert({filename, parameter(context, "title"), 0}, -1);
        if (added)
            app.facade->playIfNotEmpty();
    }
    sendText(context, flag(added));
}

void enqueuePlaylist(App& app, Context& context)
{
    std::lock_guard guard(app.lock);
    // Each line names its file itself, so each passes the same test as the
    // single-file routes: nothing outside the shared directories gets in.
    for (const PlaylistLine& line : playlistLines(parameter(context, "playlist"))) {
        if (app.library->isPathAllowed(line.filename))
            app.facade->insert({line.filename, line.title, 0}, -1);
    }
    sendText(context, "1");
}

void playPlaylist(App& app, Context& context)
{
    std::lock_guard guard(app.lock);
    app.facade->ipc(IPC_DELETE);
    enqueuePlaylist(app, context);
    app.facade->playIfNotEmpty();
}

void getPosition(App& app, Context& context)
{
    const long lengthSeconds = static_cast<long>(app.facade->ipc(IPC_GETOUTPUTTIME, 1));
    const long positionMs = static_cast<long>(app.facade->ipc(IPC_GETOUTPUTTIME, 0));
    sendText(context, positionFraction(positionMs, lengthSeconds));
}

} // namespace

std::vector<PlaylistLine> playlistLines(std::string_view text)
{
    std::vector<PlaylistLine> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
        std::string_view line = text.substr(start, end - start);
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        std::size_t name = line.find_first_not_of(' ', tab + 1);
        lines.push_back({std::string(line.substr(0, tab)),
                         name == std::string_view::npos ? std::string() : std::string(line.substr(name))});
    }
    return lines;
}

void registerPlayerCommands()
{
    auto& routes = routeTable();
    routes.insert_or_assign("prev", stepRoute(WINAMP_BUTTON1));
    routes.insert_or_assign("play", [](App& app, Context& context) {
        app.facade->playIfNotEmpty();
        sendText(context, "1");
    });
    routes.insert_or_assign("pause", commandRoute(WINAMP_BUTTON3));
    routes.insert_or_assign("stop", commandRoute(WINAMP_BUTTON4));
    routes.insert_or_assign("next", stepRoute(WINAMP_BUTTON5));
    routes.insert_or_assign("getvolume", [](App& app, Context& context) {
        sendText(context, number(app.facade->ipc(IPC_SETVOLUME, IPC_GETVOLUME_QUERY)));
    });
    routes.insert_or_assign("setvolume", [](App& app, Context& context) {
        app.facade->ipc(IPC_SETVOLUME, integerParameter(context, "level"));
        sendText(context, "1");
    });
    routes.insert_or_assign("enqueuefile", fileRoute([](App&, const Context&) { return -1; }));
    routes.insert_or_assign("enqueuefilenext", fileRoute([](App& app, const Context&) {
        return static_cast<int>(app.facade->ipc(IPC_GETLISTPOS)) + 1;
    }));
    routes.insert_or_assign("insertfile", fileRoute([](App&, const Context& context) {
        return integerParameter(context, "index");
    }));
    routes.insert_or_assign("playfile", playFile);
    routes.insert_or_assign("getplaylistlength", [](App& app, Context& context) {
        sendText(context, number(app.facade->listLength()));
    });
    routes.insert_or_assign("getplaylistfilename", [](App& app, Context& context) {
        sendText(context, app.facade->fileAt(integerParameter(context, "index")));
    });
    routes.insert_or_assign("getplaylisttitle", [](App& app, Context& context) {
        sendText(context, app.facade->titleAt(integerParameter(context, "index")));
    });
    routes.insert_or_assign("getplaylistpos", [](App& app, Context& context) {
        sendText(context, number(app.facade->ipc(IPC_GETLISTPOS)));
    });
    routes.insert_or_assign("setplaylistpos", [](App& app, Context& context) {
        app.facade->ipc(IPC_SETPLAYLISTPOS, integerParameter(context, "index"));
        sendText(context, "1");
    });
    routes.insert_or_assign("deleteplaylistitem", [](App& app, Context& context) {
        app.facade->deleteIndex(integerParameter(context, "index"));
        sendText(context, "1");
    });
    routes.insert_or_assign("moveplaylistitem", [](App& app, Context& context) {
        app.facade->moveItem(integerParameter(context, "from"), integerParameter(context, "to"));
        sendText(context, "1");
    });
    routes.insert_or_assign("clearplaylist", [](App& app, Context& context) {
        app.facade->ipc(IPC_DELETE);
        sendText(context, "1");
    });
    routes.insert_or_assign("enqueueplaylist", enqueuePlaylist);
    routes.insert_or_assign("playplaylist", playPlaylist);
    routes.insert_or_assign("getshuffle", [](App& app, Context& context) {
        sendText(context, flag(app.facade->ipc(IPC_GET_SHUFFLE) > 0));
    });
    routes.insert_or_assign("setshuffle", [](App& app, Context& context) {
        app.facade->ipc(IPC_SET_SHUFFLE, settingIsOn(context) ? 1 : 0);
        sendText(context, "1");
    });
    routes.insert_or_assign("getrepeat", [](App& app, Context& context) {
        sendText(context, flag(app.facade->ipc(IPC_GET_REPEAT) > 0));
    });
    routes.insert_or_assign("setrepeat", [](App& app, Context& context) {
        app.facade->ipc(IPC_SET_REPEAT, settingIsOn(context) ? 1 : 0);
        sendText(context, "1");
    });
    routes.insert_or_assign("toggleshuffle", commandRoute(WINAMP_FILE_SHUFFLE));
    routes.insert_or_assign("togglerepeat", commandRoute(WINAMP_FILE_REPEAT));
    routes.insert_or_assign("getposition", getPosition);
    routes.insert_or_assign("setposition", [](App& app, Context& context) {
        app.facade->seekFraction(realParameter(context, "pos"));
        sendText(context, "1");
    });
    routes.insert_or_assign("ffw5s", commandRoute(WINAMP_FFWD5S));
    routes.insert_or_assign("rew5s", commandRoute(WINAMP_REW5S));
}

} // namespace webapp
