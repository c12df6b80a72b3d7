#include "webapp/PlayerCommands.h"

#include "http/LaterAnswering.h"
#include "message/Response.h"
#include "library/MediaLibrary.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "webapp/PlayerFacade.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
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

/// 1 for the parameter "setting=on", else 0.
int onOff(const Context& context)
{
    return parameter(context, "setting") == "on" ? 1 : 0;
}

/// What an answer says of the player's answer to its one message.
using AnswerText = std::string (*)(LRESULT result);

std::string one(LRESULT)
{
    return "1";
}

std::string positiveFlag(LRESULT result)
{
    return flag(result > 0);
}

/// Answers with `text` of the player's answer to `message`. On a connection
/// its serving thread goes on with other clients while the player's thread
/// answers; offline the message is sent and waited for.
void answerFromPlayer(Context& context, const Message& message, AnswerText text)
{
    auto finish = [text](LRESULT result, http::Response& response) {
        response.setBody(text(result));
        response.send();
    };
    if (context.connection)
        context.connection->answerLater(message, finish);
    else
        finish(sendMessage(message.hwnd, message.message, message.wParam, message.lParam), context.response);
}

/// A route of one request to the main window, answered with `text` of the
/// player's answer; `argument` makes the request's argument.
RouteHandler ipcRoute(int request, AnswerText text, int (*argument)(const Context&) = nullptr)
{
    return [=](App& app, Context& context) {
        answerFromPlayer(context, app.facade->ipcMessage(request, argument ? argument(context) : 0), text);
    };
}

/// The commands without parameters that answer "1".
RouteHandler commandRoute(int id)
{
    return [id](App& app, Context& context) { answerFromPlayer(context, app.facade->commandMessage(id), one); };
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
/// parameter, when the library allows it, at the place `where` gives. The
/// expansion (a peer's listing may take seconds) runs before the lock.
RouteHandler fileRoute(Placement where)
{
    return [where](App& app, Context& context) {
        const std::string filename = parameter(context, "filename");
        bool added = false;
        if (app.library->isPathAllowed(filename)) {
            const std::vector<std::string> paths = app.facade->expand(filename);
            std::lock_guard guard(app.lock);
            added = app.facade->insertExpanded({filename, parameter(context, "title"), 0}, paths, where(app, context));
        }
        sendText(context, flag(added));
    };
}

void playFile(App& app, Context& context)
{
    const std::string filename = parameter(context, "filename");
    bool added = false;
    // A refused file leaves the player as it was.
    if (app.library->isPathAllowed(filename)) {
        const std::vector<std::string> paths = app.facade->expand(filename);
        std::lock_guard guard(app.lock);
        app.facade->command(WINAMP_BUTTON4);
        app.facade->ipc(IPC_DELETE);
        added = app.facade->insertExpanded({filename, parameter(context, "title"), 0}, paths, -1);
        if (added)
            app.facade->playIfNotEmpty();
    }
    sendText(context, flag(added));
}

/// One line of a playlist parameter with its expansion.
struct ExpandedLine {
    InsertItem item;
    std::vector<std::string> paths;
};

/// The allowed lines of the "playlist" parameter, expanded without a lock.
/// Each line names its file itself, so each passes the same test as the
/// single-file routes: nothing outside the shared directories gets in.
std::vector<ExpandedLine> expandedLines(App& app, const Context& context)
{
    std::vector<ExpandedLine> out;
    for (const PlaylistLine& line : playlistLines(parameter(context, "playlist"))) {
        if (app.library->isPathAllowed(line.filename))
            out.push_back({{line.filename, line.title, 0}, app.facade->expand(line.filename)});
    }
    return out;
}

void insertLines(App& app, const std::vector<ExpandedLine>& lines)
{
    for (const ExpandedLine& line : lines)
        app.facade->insertExpanded(line.item, line.paths, -1);
}

void enqueuePlaylist(App& app, Context& context)
{
    const std::vector<ExpandedLine> lines = expandedLines(app, context);
    std::lock_guard guard(app.lock);
    insertLines(app, lines);
    sendText(context, "1");
}

void playPlaylist(App& app, Context& context)
{
    const std::vector<ExpandedLine> lines = expandedLines(app, context);
    std::lock_guard guard(app.lock);
    app.facade->ipc(IPC_DELETE);
    insertLines(app, lines);
    app.facade->playIfNotEmpty();
    sendText(context, "1");
}

/// A route that changes the playlist without adding to it: under the
/// application's lock, like every change, so "playlist.xml" orders it with
/// its own reading of the player's changed flag.
RouteHandler changeRoute(void (*change)(App& app, const Context& context))
{
    return [change](App& app, Context& context) {
        {
            std::lock_guard guard(app.lock);
            change(app, context);
        }
        sendText(context, "1");
    };
}

void getPosition(App& app, Context& context)
{
    const long lengthSeconds = static_cast<long>(app.facade->ipc(IPC_GETOUTPUTTIME, 1));
    const long positionMs = static_cast<long>(app.facade->ipc(IPC_GETOUTPUTTIME, 0));
    sendText(context, positionFraction(positionMs, lengthSeconds));
}

/// Every command answers plain text that no browser may take for markup: a
/// title or file name in it is only text.
RouteHandler plainText(RouteHandler handler)
{
    return [handler = std::move(handler)](App& app, Context& context) {
        context.response.headers["Content-Type"] = "text/plain; charset=UTF-8";
        context.response.headers["X-Content-Type-Options"] = "nosniff";
        handler(app, context);
    };
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

void addPlayerCommands(RouteTable& routes)
{
    auto add = [&routes](const char* name, RouteHandler handler) {
        routes.insert_or_assign(name, plainText(std::move(handler)));
    };
    add("prev", stepRoute(WINAMP_BUTTON1));
    add("play", [](App& app, Context& context) {
        app.facade->playIfNotEmpty();
        sendText(context, "1");
    });
    add("pause", commandRoute(WINAMP_BUTTON3));
    add("stop", commandRoute(WINAMP_BUTTON4));
    add("next", stepRoute(WINAMP_BUTTON5));
    add("getvolume", ipcRoute(IPC_SETVOLUME, number, [](const Context&) {
        return IPC_GETVOLUME_QUERY;
    }));
    add("setvolume", ipcRoute(IPC_SETVOLUME, one, [](const Context& context) {
        return integerParameter(context, "level");
    }));
    add("enqueuefile", fileRoute([](App&, const Context&) { return -1; }));
    add("enqueuefilenext", fileRoute([](App& app, const Context&) {
        return static_cast<int>(app.facade->ipc(IPC_GETLISTPOS)) + 1;
    }));
    add("insertfile", fileRoute([](App&, const Context& context) {
        return integerParameter(context, "index");
    }));
    add("playfile", playFile);
    add("getplaylistlength", [](App& app, Context& context) {
        sendText(context, number(app.facade->listLength()));
    });
    add("getplaylistfilename", [](App& app, Context& context) {
        sendText(context, app.facade->fileAt(integerParameter(context, "index")));
    });
    add("getplaylisttitle", [](App& app, Context& context) {
        sendText(context, app.facade->titleAt(integerParameter(context, "index")));
    });
    add("getplaylistpos", ipcRoute(IPC_GETLISTPOS, number));
    add("setplaylistpos", changeRoute([](App& app, const Context& context) {
        app.facade->ipc(IPC_SETPLAYLISTPOS, integerParameter(context, "index"));
    }));
    add("deleteplaylistitem", changeRoute([](App& app, const Context& context) {
        app.facade->deleteIndex(integerParameter(context, "index"));
    }));
    add("moveplaylistitem", changeRoute([](App& app, const Context& context) {
        app.facade->moveItem(integerParameter(context, "from"), integerParameter(context, "to"));
    }));
    add("clearplaylist", changeRoute([](App& app, const Context&) {
        app.facade->ipc(IPC_DELETE);
    }));
    add("enqueueplaylist", enqueuePlaylist);
    add("playplaylist", playPlaylist);
    add("getshuffle", ipcRoute(IPC_GET_SHUFFLE, positiveFlag));
    add("setshuffle", ipcRoute(IPC_SET_SHUFFLE, one, onOff));
    add("getrepeat", ipcRoute(IPC_GET_REPEAT, positiveFlag));
    add("setrepeat", ipcRoute(IPC_SET_REPEAT, one, onOff));
    add("toggleshuffle", commandRoute(WINAMP_FILE_SHUFFLE));
    add("togglerepeat", commandRoute(WINAMP_FILE_REPEAT));
    add("getposition", getPosition);
    add("setposition", [](App& app, Context& context) {
        app.facade->seekFraction(realParameter(context, "pos"));
        sendText(context, "1");
    });
    add("ffw5s", commandRoute(WINAMP_FFWD5S));
    add("rew5s", commandRoute(WINAMP_REW5S));
}

} // namespace webapp
