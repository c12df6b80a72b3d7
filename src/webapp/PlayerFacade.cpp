#include "webapp/PlayerFacade.h"

#include "message/UrlCoding.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "library/PlaylistFile.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "text/Decimal.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace webapp {

using namespace platform;

namespace {

constexpr std::size_t infoBufferSize = 4096;

} // namespace

std::string PlayerFacade::expandedTitle(const std::string& path)
{
    std::string name = path;
    if (path.starts_with(library::peerPrefix)) {
        std::size_t at = path.rfind("path=");
        if (at != std::string::npos) {
            std::size_t start = at + 5;
            std::size_t end = path.find('&', start);
            name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
        http::urlDecode(name);
    }
    return std::string(library::fileNamePart(name));
}

namespace {

/// A playlist entry is taken as it is when it names a URL or an absolute
/// path; otherwise it lies beside the playlist file.
bool isAbsoluteEntry(const std::string& path)
{
    return path.find(':') != std::string::npos || path.starts_with(library::pathSeparator);
}

} // namespace

PlayerFacade::PlayerFacade(HWND mainWindow, library::MediaLibrary* library)
    : mainWindow(mainWindow),
      playlistWindow(reinterpret_cast<HWND>(sendMessage(mainWindow, WM_WA_IPC, IPC_GETWND_PE, IPC_GETWND))),
      library(library)
{
}

LRESULT PlayerFacade::ipc(int request, WPARAM argument)
{
    return sendMessage(mainWindow, WM_WA_IPC, argument, request);
}

LRESULT PlayerFacade::ipc(int request, int argument)
{
    const Message message = ipcMessage(request, argument);
    return sendMessage(message.hwnd, message.message, message.wParam, message.lParam);
}

Message PlayerFacade::ipcMessage(int request, int argument) const
{
    // Sign-extended, as the player reads its argument back as a signed int.
    return {mainWindow, WM_WA_IPC, static_cast<WPARAM>(static_cast<std::intptr_t>(argument)), request};
}

Message PlayerFacade::commandMessage(int id) const
{
    return {mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0};
}

LRESULT PlayerFacade::editorIpc(int request, LPARAM argument)
{
    return sendMessage(playlistWindow, WM_WA_IPC, static_cast<WPARAM>(request), argument);
}

void PlayerFacade::command(int id)
{
    const Message message = commandMessage(id);
    sendMessage(message.hwnd, message.message, message.wParam, message.lParam);
}

int PlayerFacade::listLength()
{
    std::lock_guard guard(lock);
    return static_cast<int>(ipc(IPC_GETLISTLENGTH));
}

void PlayerFacade::deleteIndex(int index)
{
    std::lock_guard guard(lock);
    editorIpc(IPC_PE_DELETEINDEX, index);
}

bool PlayerFacade::takeChanged()
{
    std::lock_guard guard(lock);
    const bool changed = editorIpc(IPC_PE_GETDIRTY) > 0;
    return editorIpc(IPC_PE_SETCLEAN) > 0 || changed;
}

bool PlayerFacade::playFile(const std::string& filename, const std::string& title, int length)
{
    enqueueFileWithMetaStruct item{filename.c_str(), title.c_str(), length};
    return ipc(IPC_PLAYFILE, reinterpret_cast<WPARAM>(&item)) > 0;
}

std::vector<std::string> PlayerFacade::expand(const std::string& filename) const
{
    std::vector<std::string> paths;
    if (library)
        library->expandPath(filename, paths);
    return paths;
}

bool PlayerFacade::insert(const InsertItem& item, int position)
{
    return insertExpanded(item, expand(item.filename), position);
}

bool PlayerFacade::insertExpanded(const InsertItem& item, const std::vector<std::string>& paths, int position)
{
    std::lock_guard guard(lock);
    int length = listLength();
    position = std::min(position, length);
    bool added = false;
    for (const std::string& path : paths) {
        const int room = maxEntries - length;
        if (room <= 0)
            break;
        int count = path == item.filename ? enqueueOne(item, room) : enqueueOne({path, expandedTitle(path), 0}, room);
        length += count;
        if (count > 0)
            added = true;
        if (position < 0)
            continue;
        // Each move takes the last entry to the same place, so the entries a
        // playlist file added end there in their own order; the next path
        // goes after them.
        for (int i = 0; i < count; ++i)
            moveItem(listLength() - 1, position);
        position += count;
    }
    return added;
}

int PlayerFacade::enqueueOne(const InsertItem& item, int room)
{
    if (room <= 0)
        return 0;
    if (!library::PlaylistFile::isPlaylistFile(item.filename))
        return playFile(item.filename, item.title, item.length) ? 1 : 0;

    library::PlaylistFile playlist(item.filename);
    const std::size_t slash = item.filename.rfind(library::pathSeparator);
    const std::string folder = slash == std::string::npos ? std::string() : item.filename.substr(0, slash + 1);
    int added = 0;
    for (std::size_t i = 0; i < playlist.itemCount() && added < room; ++i) {
        const library::PlaylistItem& entry = playlist.itemAt(i);
        std::string path = isAbsoluteEntry(entry.path) ? entry.path : folder + entry.path;
        if (library == nullptr || !library->isPlaylistEntryAllowed(path))
            continue;
        if (playFile(path, entry.title, -1))
            ++added;
    }
    return added;
}

void PlayerFacade::moveItem(int from, int to)
{
    if (from == to)
        return;
    int current = static_cast<int>(ipc(IPC_GETLISTPOS));
    std::lock_guard guard(lock);
    // A swap with an index outside the list changes nothing in the player,
    // so bringing both ends inside it moves the same entry to the same place
    // without a swap per unit of the distance asked for.
    const int last = listLength() - 1;
    if (last < 0)
        return;
    from = std::clamp(from, 0, last);
    to = std::clamp(to, 0, last);
    const int step = from < to ? 1 : -1;
    while (from != to) {
        const int next = from + step;
        editorIpc(IPC_PE_SWAPINDEX, static_cast<LPARAM>(makeLong(static_cast<unsigned>(from),
                                                                 static_cast<unsigned>(next))));
        if (next == current) {
            ipc(IPC_SETPLAYLISTPOS, from);
            current = from;
        } else if (from == current) {
            ipc(IPC_SETPLAYLISTPOS, next);
            current = next;
        }
        from = next;
    }
}

void PlayerFacade::playIfNotEmpty()
{
    if (listLength() > 0)
        command(WINAMP_BUTTON2);
}

std::string PlayerFacade::fileAt(int index)
{
    std::lock_guard guard(lock);
    // The player keeps the text in place until well after the answer, so it
    // is copied here, after the send.
    auto text = reinterpret_cast<const char*>(ipc(IPC_GETPLAYLISTFILE, index));
    return text ? std::string(text) : std::string();
}

std::string PlayerFacade::titleAt(int index)
{
    std::lock_guard guard(lock);
    auto text = reinterpret_cast<const char*>(ipc(IPC_GETPLAYLISTTITLE, index));
    return text ? std::string(text) : std::string();
}

void PlayerFacade::trackInfo(TrackInfo& info)
{
    std::vector<char> buffer(infoBufferSize);
    auto read = [&](const char* name) {
        buffer[0] = '\0';
        extendedFileInfoStruct request{info.filename.c_str(), name, buffer.data(), buffer.size()};
        ipc(IPC_GET_EXTENDED_FILE_INFO, reinterpret_cast<WPARAM>(&request));
        // A player that filled the whole buffer still ends the text here.
        buffer.back() = '\0';
        return std::string(buffer.data());
    };
    info.album = read("album");
    info.artist = read("artist");
    info.title = read("title");
    const std::string length = read("length");

    // Unknown lengths come as empty text; a negative one is no length either.
    info.lengthMs = std::max(text::atoiLike(length), 0);
    const int seconds = info.lengthMs % 60000 / 1000;
    info.lengthText = std::to_string(info.lengthMs / 60000) + (seconds < 10 ? ":0" : ":") + std::to_string(seconds);
    info.bitrate = static_cast<std::int32_t>(ipc(IPC_GETINFO, 1));
}

void PlayerFacade::seekFraction(double fraction)
{
    const double length = static_cast<double>(ipc(IPC_GETOUTPUTTIME, 1));
    double target = std::trunc(length * 1000.0 * fraction);
    // A fraction from the network may be anything ("nan", "1e300"); the
    // player gets a position it can hold.
    if (std::isnan(target))
        target = 0;
    target = std::clamp(target, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
    ipc(IPC_JUMPTOTIME, static_cast<int>(target));
}

} // namespace webapp
