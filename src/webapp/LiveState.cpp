#include "webapp/LiveState.h"

#include "platform/PlayerMessages.h"
#include "webapp/PlayerFacade.h"
#include "webapp/ScriptText.h"
#include "webapp/WebApplication.h"

#include <mutex>

namespace webapp {

namespace {

// The main window's playing state: 1 playing, 3 paused, 0 stopped.
constexpr int isPlayingRequest = 104;

const char* stateName(int playing)
{
    return playing == 1 ? "playing" : playing == 3 ? "paused" : "stopped";
}

} // namespace

LiveState readLiveState(WebApplication& application)
{
    PlayerFacade& facade = *application.facade;
    LiveState state;
    {
        std::lock_guard guard(application.lock);
        if (facade.takeChanged())
            application.playlistClients.clear();
        state.playlist = application.playlistClients.generation();
    }
    state.playing = static_cast<int>(facade.ipc(isPlayingRequest));
    state.position = static_cast<int>(facade.ipc(platform::IPC_GETLISTPOS));
    state.title = facade.titleAt(state.position);
    state.volume = static_cast<int>(facade.ipc(platform::IPC_SETVOLUME, platform::IPC_GETVOLUME_QUERY));
    state.shuffle = facade.ipc(platform::IPC_GET_SHUFFLE) > 0;
    state.repeat = facade.ipc(platform::IPC_GET_REPEAT) > 0;
    return state;
}

std::string liveEvent(const LiveState* before, const LiveState& now)
{
    std::string fields;
    auto add = [&](const char* name, const std::string& value) {
        fields += fields.empty() ? "{\"" : ",\"";
        fields += name;
        fields += "\":";
        fields += value;
    };
    auto flag = [](bool value) { return std::string(value ? "true" : "false"); };
    if (!before || before->playing != now.playing)
        add("state", std::string("\"") + stateName(now.playing) + "\"");
    if (!before || before->position != now.position)
        add("position", std::to_string(now.position));
    if (!before || before->title != now.title)
        add("title", "\"" + scriptStringContent(now.title) + "\"");
    if (!before || before->volume != now.volume)
        add("volume", std::to_string(now.volume));
    if (!before || before->shuffle != now.shuffle)
        add("shuffle", flag(now.shuffle));
    if (!before || before->repeat != now.repeat)
        add("repeat", flag(now.repeat));
    if (!before || before->playlist != now.playlist)
        add("playlist", std::to_string(now.playlist));
    if (fields.empty())
        return {};
    return "data: " + fields + "}\n\n";
}

} // namespace webapp
