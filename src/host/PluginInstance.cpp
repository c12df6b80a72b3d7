#include "host/PluginInstance.h"

#include "settings/PluginPaths.h"
#include "settings/Settings.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "platform/ModulePath.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "ui/ConfigDialogRunner.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace host {

using namespace platform;

namespace {

/// Any address inside this module, for asking the loader where it lives.
const char moduleAnchor = 0;

HMENU hostMenu(HWND mainWindow, int which)
{
    return reinterpret_cast<HMENU>(sendMessage(mainWindow, WM_WA_IPC, static_cast<WPARAM>(which), IPC_GET_HMENU));
}

} // namespace

PluginInstance& PluginInstance::instance()
{
    // Lives as long as the module is loaded; after quit it holds nothing.
    static PluginInstance theInstance;
    return theInstance;
}

PluginInstance::PluginInstance()
    : record{PLUGIN_RECORD_VERSION, description, &initEntry, &configEntry, &quitEntry, nullptr, nullptr}
{
}

int PluginInstance::initEntry()
{
    return instance().init();
}

void PluginInstance::configEntry()
{
    instance().config();
}

void PluginInstance::quitEntry()
{
    instance().quit();
}

int PluginInstance::init()
{
    // The host may keep its plug-ins' files in a folder of its own.
    return initFrom(filesPathFor(modulePath(&moduleAnchor), std::getenv(pluginHomeVariable)));
}

int PluginInstance::initFrom(const std::string& modulePath)
{
    if (settings)
        return 0;
    settings = std::make_unique<Settings>(settingsPathFor(modulePath));
    // Not saved here: the default reaches the file with the next save.
    const SettingsData values = settings->update([&](SettingsData& data) {
        if (data.documentRoot.empty())
            data.documentRoot = defaultDocumentRootFor(modulePath);
        return data;
    });
    std::error_code ignored;
    std::filesystem::create_directories(values.documentRoot, ignored);

    webApplication = std::make_unique<webapp::WebApplication>(record.hwndParent, record.hDllInstance, *settings);

    // The player's window is subclassed before the server may answer
    // anything: on Windows that is when this thread starts taking the
    // requests that connections hand to the window without waiting, so a
    // request answered while the start is still under way (the question
    // below is open for as long as the user takes) reaches the player.
    previousWindowProc = setWindowProc(record.hwndParent, &windowProc);
    subclassed = previousWindowProc != nullptr;

    // An address or port that cannot be listened on leaves the server made
    // but stopped; the player runs on without it. The server takes its
    // document root, time-out and access rules from the settings.
    const http::Endpoint endpoint = webapp::TuneletServer::endpointFor(values);
    server = std::make_unique<webapp::TuneletServer>(*webApplication, *settings, endpoint.address, endpoint.port);
    if (values.autoStart && endpoint.address != http::Endpoint::unlistenable)
        server->start();
    else if (values.autoStart)
        std::fprintf(stderr, "Tunelet: cannot listen on %s:%d: not an IPv4 address and port\n",
                     values.listenIP.c_str(), values.listenPort);

    // An index that was never begun (the first start) is built without the
    // question, which is about a rebuild cut short.
    if (values.needsIndex && !webApplication->library->indexer().everBegun()) {
        std::fprintf(stderr, "Tunelet: building the search index of the shared folders\n");
        webApplication->library->reindex();
    } else if (values.needsIndex) {
        askToReindex();
    } else {
        // What the first listings and searches read of the index on disk is
        // read now, in the background, rather than by their first user.
        webApplication->library->prepareCurrentIndex();
    }
    return 0;
}

void PluginInstance::askToReindex()
{
    int answer = messageBox(nullptr, reindexQuestion, reindexCaption, MB_OKCANCEL | MB_ICONWARNING);
    if (answer == IDOK) {
        // Starts the indexer's thread when none runs; only a started run sets
        // and saves `needsIndex` (and is waited for until it runs). When no
        // run starts nothing changes: the flag stays set in the file and the
        // question comes again at the next start.
        webApplication->library->reindex();
        return;
    }
    settings->update([](SettingsData& data) { data.needsIndex = false; });
    settings->save();
}

void PluginInstance::config()
{
    // The window is subclassed before the server is made.
    if (!settings || !server)
        return;
    // Without a widget application (a headless host) no dialog can be made,
    // which is answered as every failure to make it is.
    if (ui::runConfigDialog(*settings, *server, *webApplication))
        return;
    messageBox(record.hwndParent, "Dialog failed!", "Error", MB_OK | MB_ICONINFORMATION);
}

void PluginInstance::quit()
{
    if (server) {
        // For good: a restart the dialog asks for afterwards is refused.
        server->quit();
        // A connection may be inside a request to the player, which this
        // thread answers: a plain wait here would never end.
        if (auto handle = server->threadHandle())
            waitServingMessages(handle->event());
        server.reset();
    }
    webApplication.reset();
    settings.reset();
    if (subclassed) {
        setWindowProc(record.hwndParent, previousWindowProc);
        subclassed = false;
    }
}

LRESULT PLATFORM_CALLBACK PluginInstance::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PluginInstance& self = instance();
    if (message == WM_COMMAND && hiWord(wParam) == 0 && loWord(wParam) == preferencesCommand) {
        self.config();
    } else if (message == WM_INITMENUPOPUP) {
        // Out before the host prepares the menu, in again after: exactly one
        // item however often the menu opens.
        HMENU opened = reinterpret_cast<HMENU>(wParam);
        self.removeMenuItem(hwnd, opened);
        callWindowProc(self.previousWindowProc, hwnd, message, wParam, lParam);
        self.insertMenuItem(hwnd, opened);
        return 0;
    }
    return callWindowProc(self.previousWindowProc, hwnd, message, wParam, lParam);
}

void PluginInstance::removeMenuItem(HWND mainWindow, HMENU opened)
{
    for (int which : {0, 3}) {
        HMENU menu = hostMenu(mainWindow, which);
        if (menu && menu == opened)
            deleteMenuItem(menu, preferencesCommand);
    }
}

void PluginInstance::insertMenuItem(HWND mainWindow, HMENU opened)
{
    HMENU main = hostMenu(mainWindow, 0);
    if (main && main == opened)
        platform::insertMenuItem(main, 1, preferencesCommand, preferencesText);
    HMENU options = hostMenu(mainWindow, 3);
    if (options && options == opened)
        platform::insertMenuItem(options, 0, preferencesCommand, preferencesText);
}

} // namespace host
