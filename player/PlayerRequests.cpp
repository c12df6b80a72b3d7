#include "player/PlayerRequests.h"

#include <algorithm>
#include <cstring>

namespace player {

using namespace platform;

namespace {

constexpr int seekStepMs = 5000;

} // namespace

PlayerRequests::PlayerRequests(PlayerModel& model, TagSource tags) : model(model), tags(std::move(tags)) {}

PlaylistEntry PlayerRequests::entryFor(const std::string& file, const std::string& title, int lengthSeconds) const
{
    TrackTags found = isLocalFile(file) ? tags(file) : TrackTags{};
    PlaylistEntry entry;
    entry.file = file;
    if (!isPlaceholderTitle(file, title))
        entry.title = title;
    else if (!found.artist.empty() && !found.title.empty())
        entry.title = found.artist + " - " + found.title;
    else if (!found.title.empty())
        entry.title = found.title;
    else
        entry.title = title.empty() ? displayName(file) : title;
    if (found.lengthMs > 0)
        entry.lengthMs = found.lengthMs;
    else if (lengthSeconds > 0)
        entry.lengthMs = lengthSeconds * 1000;
    entry.bitrate = found.bitrate;
    entry.sampleRate = found.sampleRate;
    entry.channels = found.channels;
    return entry;
}

LRESULT PlayerRequests::playFile(const enqueueFileWithMetaStruct* item)
{
    if (!item || !item->filename || !*item->filename)
        return 0;
    model.append(entryFor(item->filename, item->title ? item->title : "", item->length));
    return 1;
}

LRESULT PlayerRequests::extendedInfo(const extendedFileInfoStruct* request)
{
    if (!request || !request->filename || !request->metadata || !request->ret || request->retlen == 0)
        return 0;
    const std::string file = request->filename;
    TrackTags found = isLocalFile(file) ? TrackTags{} : model.decodedTags(file);
    if (!found.readable)
        found = tags(file);
    std::string value = extendedInfoField(found, request->metadata);
    std::size_t length = std::min(value.size(), request->retlen - 1);
    std::memcpy(request->ret, value.data(), length);
    request->ret[length] = '\0';
    return value.empty() ? 0 : 1;
}

LRESULT PlayerRequests::info(int which)
{
    const PlaylistEntry* entry = model.playlist().at(model.position());
    if (!entry)
        return 0;
    switch (which) {
    case 0:
        return entry->sampleRate / 1000;  // kHz
    case 1:
        return entry->bitrate;
    case 2:
        return entry->channels;
    }
    return 0;
}

LRESULT PlayerRequests::mainRequest(int ipc, WPARAM arg)
{
    // Numbers arrive in the unsigned wParam; as the player reads them they are
    // signed ints (IPC_SETVOLUME's -666).
    const int value = static_cast<int>(static_cast<std::intptr_t>(arg));
    switch (ipc) {
    case IPC_PLAYFILE:
        return playFile(reinterpret_cast<const enqueueFileWithMetaStruct*>(arg));
    case IPC_DELETE:
        model.clear();
        return 1;
    case IPC_ISPLAYING:
        switch (model.state()) {
        case PlayState::playing:
            return 1;
        case PlayState::paused:
            return 3;
        case PlayState::stopped:
            return 0;
        }
        return 0;
    case IPC_GETOUTPUTTIME: {
        int length = model.currentLengthMs();
        if (value == 0)
            return model.elapsedMs();
        if (value == 1)
            return length < 0 ? -1 : (length + 500) / 1000;
        if (value == 2)
            return length;
        return -1;
    }
    case IPC_JUMPTOTIME:
        return model.seek(value);
    case IPC_SETPLAYLISTPOS:
        model.setPosition(value);
        return 0;
    case IPC_SETVOLUME:
        if (value == IPC_GETVOLUME_QUERY)
            return model.volume();
        model.setVolume(value);
        return 0;
    case IPC_GETLISTLENGTH:
        return model.playlist().size();
    case IPC_GETLISTPOS:
        return model.position();
    case IPC_GETINFO:
        return info(value);
    case IPC_GETPLAYLISTFILE:
        return reinterpret_cast<LRESULT>(model.playlist().fileText(value));
    case IPC_GETPLAYLISTTITLE:
        return reinterpret_cast<LRESULT>(model.playlist().titleText(value));
    case IPC_GET_SHUFFLE:
        return model.shuffle() ? 1 : 0;
    case IPC_GET_REPEAT:
        return model.repeat() ? 1 : 0;
    case IPC_SET_SHUFFLE:
        model.setShuffle(value != 0);
        return 0;
    case IPC_SET_REPEAT:
        model.setRepeat(value != 0);
        return 0;
    case IPC_GETWND:
        return value == IPC_GETWND_PE ? reinterpret_cast<LRESULT>(playlistWindow) : 0;
    case IPC_GET_HMENU:
        if (value == 0)
            return reinterpret_cast<LRESULT>(mainMenu);
        return value == 3 ? reinterpret_cast<LRESULT>(optionsMenu) : 0;
    case IPC_GET_EXTENDED_FILE_INFO:
        return extendedInfo(reinterpret_cast<const extendedFileInfoStruct*>(arg));
    }
    return 0;
}

LRESULT PlayerRequests::editorRequest(int ipc, LPARAM arg)
{
    switch (ipc) {
    case IPC_PE_DELETEINDEX:
        model.remove(static_cast<int>(arg));
        return 0;
    case IPC_PE_SWAPINDEX:
        model.swap(static_cast<int>(hiWord(static_cast<std::uintptr_t>(arg))),
                   static_cast<int>(loWord(static_cast<std::uintptr_t>(arg))));
        return 0;
    case IPC_PE_GETDIRTY:
        return model.playlist().isDirty() ? 1 : 0;
    case IPC_PE_SETCLEAN: {
        // The flag it cleared: read and cleared in one step on this thread,
        // so a caller that trusts the answer loses no change made between
        // its IPC_PE_GETDIRTY and this.
        const bool wasDirty = model.playlist().isDirty();
        model.setClean();
        return wasDirty ? 1 : 0;
    }
    }
    return 0;
}

bool PlayerRequests::command(int id)
{
    switch (id) {
    case WINAMP_BUTTON1:
        model.previous();
        return true;
    case WINAMP_BUTTON2:
        model.play();
        return true;
    case WINAMP_BUTTON3:
        model.pause();
        return true;
    case WINAMP_BUTTON4:
        model.stop();
        return true;
    case WINAMP_BUTTON5:
        model.next();
        return true;
    case WINAMP_FILE_REPEAT:
        model.setRepeat(!model.repeat());
        return true;
    case WINAMP_FILE_SHUFFLE:
        model.setShuffle(!model.shuffle());
        return true;
    case WINAMP_FFWD5S:
        model.skip(seekStepMs);
        return true;
    case WINAMP_REW5S:
        model.skip(-seekStepMs);
        return true;
    }
    return false;
}

} // namespace player
