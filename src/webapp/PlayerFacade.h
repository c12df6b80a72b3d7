#pragma once

#include "platform/WindowTypes.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace library {
class MediaLibrary;
}

namespace webapp {

/// What a caller asks to add to the playlist. `length` is in seconds: 0 from
/// the web routes, -1 for the entries of a playlist file.
struct InsertItem {
    std::string filename;
    std::string title;
    std::int32_t length = 0;
};

/// The current track as the console shows it.
struct TrackInfo {
    std::string filename;
    std::string title;
    std::string artist;
    std::string album;
    /// "m:ss".
    std::string lengthText;
    std::int32_t lengthMs = 0;
    /// As the player reports it.
    std::int32_t bitrate = 0;
};

/// The web application's only way to the host player: window messages sent
/// to its main window and its playlist editor. Every operation is
/// synchronous and returns when the player has answered its messages.
///
/// Threads: any number of request threads call it at once. The player
/// serialises single messages on its own window thread; the facade lock (re-
/// entrant) keeps the multi-message operations whole: it guards every list-
/// length read made here, `fileAt`, `titleAt`, the swaps of `moveItem`, the
/// whole of `insert`, `insertExpanded`, `deleteIndex` and `takeChanged`.
/// Callers that also hold the web application's lock take that one first.
/// The facade never takes it; `expand` takes no lock at all, so a slow peer
/// holds up only its own caller.
///
/// Construct it on the player's window thread or on a thread that does not
/// block that one: the constructor asks the main window for the playlist
/// editor. Nothing here throws; the player's answers are taken as they come.
class PlayerFacade {
public:
    /// `library` is borrowed and must outlive the facade.
    PlayerFacade(platform::HWND mainWindow, library::MediaLibrary* library);
    PlayerFacade(const PlayerFacade&) = delete;
    PlayerFacade& operator=(const PlayerFacade&) = delete;

    /// The most entries the web routes fill the playlist with: past it they
    /// add nothing.
    static constexpr int maxEntries = 50000;

    /// `insertExpanded` of the expansion of `item.filename`.
    bool insert(const InsertItem& item, int position);
    /// The playable paths of `filename` through the library (a file, a
    /// directory, a search, a peer listing); at most
    /// `library::MediaLibrary::maxExpansion`. Takes no lock and may wait for
    /// a peer for seconds: call it holding none.
    std::vector<std::string> expand(const std::string& filename) const;
    /// Appends every path of `paths` (the expansion of `item.filename`; that
    /// path itself is added as `item`) and moves the new entries to
    /// `position` in expansion order (a playlist file's entries in their own
    /// order). -1, or a position past the end, appends. Stops when the
    /// playlist holds `maxEntries`. True when at least one entry was added.
    bool insertExpanded(const InsertItem& item, const std::vector<std::string>& paths, int position);
    /// Appends a file, or each entry of a playlist file (relative entries
    /// taken from the playlist's folder, length -1) that the library's
    /// `isPlaylistEntryAllowed` lets through, at most `room` of them; the
    /// number added.
    int enqueueOne(const InsertItem& item, int room = maxEntries);
    /// Moves an entry step by step with swaps, keeping the current position
    /// on the entry it was on. Indices outside the playlist are taken as its
    /// first or last entry, so no request can make it swap for ever.
    void moveItem(int from, int to);
    /// Starts playback when the playlist has entries.
    void playIfNotEmpty();
    /// The entry's file name or title; empty when the player has none.
    std::string fileAt(int index);
    std::string titleAt(int index);
    /// Fills album, artist, title, the length (text and ms) of
    /// `info.filename` and the current bitrate.
    void trackInfo(TrackInfo& info);
    /// Seeks to `fraction` of the current track's length.
    void seekFraction(double fraction);

    /// The number of entries, read under the facade lock.
    int listLength();
    /// Removes an entry, under the facade lock.
    void deleteIndex(int index);
    /// Whether the playlist changed since the last call, clearing the
    /// player's changed flag. Our player answers IPC_PE_SETCLEAN with the
    /// flag it cleared, so a change made between the two messages is not
    /// lost; with a player that answers it with 0 such a change may be.
    bool takeChanged();

    /// A request to the main window (number in lParam, argument in wParam);
    /// the player's answer unchanged.
    platform::LRESULT ipc(int request, platform::WPARAM argument = 0);
    /// The same with a signed argument (IPC_SETVOLUME's -666, indices).
    platform::LRESULT ipc(int request, int argument);
    /// A request to the playlist editor (number in wParam, argument in
    /// lParam).
    platform::LRESULT editorIpc(int request, platform::LPARAM argument = 0);
    /// A command of the main window.
    void command(int id);

    /// The messages `ipc` and `command` send, for a caller that sends them
    /// without waiting (see `http::RequestThread::answerLater`).
    platform::Message ipcMessage(int request, int argument = 0) const;
    platform::Message commandMessage(int id) const;

    /// The title `insert` gives a path its expansion produced: a peer URL
    /// is named by the decoded file name of its last "path=" parameter (the
    /// whole URL's when it has none), any other path by its file name.
    static std::string expandedTitle(const std::string& path);

    platform::HWND mainWindowHandle() const { return mainWindow; }
    platform::HWND playlistWindowHandle() const { return playlistWindow; }

private:
    /// IPC_PLAYFILE; true when the player appended the entry.
    bool playFile(const std::string& filename, const std::string& title, int length);

    const platform::HWND mainWindow;
    /// Asked once, at construction.
    const platform::HWND playlistWindow;
    /// Not owned.
    library::MediaLibrary* const library;
    std::recursive_mutex lock;
};

} // namespace webapp
