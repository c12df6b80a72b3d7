#include "webapp/StatusDocuments.h"

#include "platform/PlayerMessages.h"
#include "webapp/PlayerFacade.h"
#include "webapp/RouteParameters.h"
#include "webapp/WebApplication.h"

#include <cstdint>
#include <mutex>

namespace webapp {

using namespace platform;

namespace {

// Names and tags are UTF-8 bytes on this system; every text goes through
// cdataText, which keeps the documents valid UTF-8 and well-formed XML
// whatever bytes the player holds.
constexpr const char* declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n";

} // namespace

void sendPlaylistDocument(WebApplication& application, RequestContext& context)
{
    PlayerFacade& facade = *application.facade;
    const std::string id = parameter(context, "id");
    int length = 0;
    long position = 0;
    bool dirty = false;
    std::uint64_t generation = 0;
    {
        std::lock_guard guard(application.lock);
        // The player's flag is taken before anything of the list is read: a
        // change made after this, by a client or in the player's own window,
        // sets it again, so the next answer is dirty. Every other client
        // learns of a change from the emptied map.
        if (facade.takeChanged())
            application.playlistClients.clear();
        dirty = !application.playlistClients.holdsCurrent(id);
        generation = application.playlistClients.generation();
        length = facade.listLength();
        position = static_cast<long>(facade.ipc(IPC_GETLISTPOS));
    }

    std::string body = declaration;
    body += "<playlist playing=\"" + std::to_string(position) + "\" dirty=\"" + (dirty ? "1" : "0") + "\">\n";
    if ((dirty || id.empty()) && length > 0) {
        // Read without the application's lock: a long list holds up no other
        // client. Room for typical entries up front: growing a large text
        // copies it while the player's thread waits for the next message.
        body.reserve(body.size() + static_cast<std::size_t>(length) * 192);
        for (int i = 0; i < length; ++i) {
            body += "<track>\n<index>" + std::to_string(i) + "</index>\n";
            body += "<title><![CDATA[" + cdataText(facade.titleAt(i)) + "]]></title>\n";
            body += "<filename><![CDATA[" + cdataText(facade.fileAt(i)) + "]]></filename>\n";
            body += "</track>\n";
        }
    }
    body += "</playlist>\n";

    {
        std::lock_guard guard(application.lock);
        // Another document that took a change meanwhile emptied the map: this
        // list may lack that change, so its client stays out.
        if (application.playlistClients.generation() == generation)
            application.playlistClients.markCurrent(id);
    }
    sendText(context, std::move(body));
}

void sendConsoleDocument(WebApplication& application, RequestContext& context)
{
    PlayerFacade& facade = *application.facade;

    TrackInfo info;
    info.filename = facade.fileAt(static_cast<int>(facade.ipc(IPC_GETLISTPOS)));
    facade.trackInfo(info);
    if (info.title.empty())
        info.title = facade.titleAt(static_cast<int>(facade.ipc(IPC_GETLISTPOS)));

    const long volume = static_cast<long>(facade.ipc(IPC_SETVOLUME, IPC_GETVOLUME_QUERY));
    const bool shuffle = facade.ipc(IPC_GET_SHUFFLE) > 0;
    const bool repeat = facade.ipc(IPC_GET_REPEAT) > 0;
    const long lengthSeconds = static_cast<long>(facade.ipc(IPC_GETOUTPUTTIME, 1));
    const long positionMs = static_cast<long>(facade.ipc(IPC_GETOUTPUTTIME, 0));

    std::string body = declaration;
    body += "<console>";
    body += "<volume>" + std::to_string(volume) + "</volume>";
    body += std::string("<shuffle>") + (shuffle ? "1" : "0") + "</shuffle>";
    body += std::string("<repeat>") + (repeat ? "1" : "0") + "</repeat>";
    body += "<album><![CDATA[" + cdataText(info.album) + "]]></album>";
    body += "<artist><![CDATA[" + cdataText(info.artist) + "]]></artist>";
    body += "<title><![CDATA[" + cdataText(info.title) + "]]></title>";
    body += "<filename><![CDATA[" + cdataText(info.filename) + "]]></filename>";
    body += "<length><![CDATA[" + cdataText(info.lengthText) + "]]></length>";
    body += "<lengthms>" + std::to_string(info.lengthMs) + "</lengthms>";
    body += "<bitrate><![CDATA[" + std::to_string(info.bitrate) + "]]></bitrate>";
    body += "<position>" + positionFraction(positionMs, lengthSeconds) + "</position>";
    body += "</console>";
    sendText(context, std::move(body));
}

void addStatusDocuments(RouteTable& routes)
{
    routes.insert_or_assign("playlist.xml", sendPlaylistDocument);
    routes.insert_or_assign("consolestatus.xml", sendConsoleDocument);
}

} // namespace webapp
