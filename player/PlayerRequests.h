#pragma once

#include "platform/PlayerMessages.h"
#include "player/PlayerModel.h"
#include "player/TrackTags.h"

#include <functional>
#include <string>

namespace player {

/// Answers the player's requests and commands from the model: what the main
/// window and the playlist editor do with WM_WA_IPC and WM_COMMAND. Runs on
/// the player's window thread.
class PlayerRequests {
public:
    using TagSource = std::function<TrackTags(const std::string& path)>;

    /// `tags` reads a file's tags (the tag library by default).
    explicit PlayerRequests(PlayerModel& model, TagSource tags = readTrackTags);

    /// What IPC_GETWND and IPC_GET_HMENU hand out.
    void setPlaylistWindow(platform::HWND window) { playlistWindow = window; }
    void setMenus(platform::HMENU menu0, platform::HMENU menu3)
    {
        mainMenu = menu0;
        optionsMenu = menu3;
    }

    /// WM_WA_IPC to the main window: request `ipc` with argument `arg`.
    /// Unknown requests answer 0.
    platform::LRESULT mainRequest(int ipc, platform::WPARAM arg);
    /// WM_WA_IPC to the playlist editor: request `ipc` with argument `arg`.
    platform::LRESULT editorRequest(int ipc, platform::LPARAM arg);
    /// WM_COMMAND `id`; false when the id is not a player command.
    bool command(int id);

    /// The playback has news: see PlayerModel::takePlaybackNews.
    void playbackNews() { model.takePlaybackNews(); }

    /// The entry IPC_PLAYFILE adds: the given title unless it is only the
    /// file's name, else "Artist - Title" from the tags (or the tag title
    /// alone), else the given title or the file's name; the
    /// length from the tags, else the given length in seconds, else unknown.
    PlaylistEntry entryFor(const std::string& file, const std::string& title, int lengthSeconds) const;

private:
    platform::LRESULT playFile(const platform::enqueueFileWithMetaStruct* item);
    /// A local file's tags; an http:// entry's as its decoder found them once
    /// it opened it (before that, what `tags` says of the URL).
    platform::LRESULT extendedInfo(const platform::extendedFileInfoStruct* request);
    platform::LRESULT info(int which);

    PlayerModel& model;
    TagSource tags;
    platform::HWND playlistWindow = nullptr;
    platform::HMENU mainMenu = nullptr;
    platform::HMENU optionsMenu = nullptr;
};

/// Requests and commands of the player's own beyond what plug-ins use.
inline constexpr int IPC_ISPLAYING = 104;        // main window: 1 playing, 3 paused, 0 stopped
inline constexpr int PLAYER_COMMAND_EXIT = 40001;  // closes the player
/// Posted to the main window when the playback has news to take in.
inline constexpr platform::UINT WM_PLAYBACK_NEWS = 0x8000 + 0x51;  // WM_APP + 0x51
/// Posted to the main window every few seconds: time to save what changed.
inline constexpr platform::UINT WM_PLAYER_STATE_CHECK = 0x8000 + 0x52;  // WM_APP + 0x52

} // namespace player
