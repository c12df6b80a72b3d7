#pragma once

#include "platform/WindowTypes.h"

#include <cstddef>

// The window messages, player requests and command identifiers through which
// a plug-in drives the host player. Values are the player's own; every
// request is answered synchronously by the window it is sent to.
namespace platform {

// Window messages.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_COMMAND = 0x0111;        // 273
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_INITMENUPOPUP = 0x0117;  // wParam: the HMENU about to open
inline constexpr UINT WM_USER = 0x0400;           // 1024
/// The player's request message. To the main window: request number in
/// lParam, argument in wParam. To the playlist editor: request number in
/// wParam, argument in lParam.
inline constexpr UINT WM_WA_IPC = WM_USER;

// Requests to the main window (lParam of WM_WA_IPC).
inline constexpr int IPC_PLAYFILE = 100;                // wParam: enqueueFileWithMetaStruct*; > 0 when appended
inline constexpr int IPC_DELETE = 101;                  // clears the playlist
inline constexpr int IPC_GETOUTPUTTIME = 105;           // wParam 0: position in ms; 1: length in s
inline constexpr int IPC_JUMPTOTIME = 106;              // wParam: position in ms
inline constexpr int IPC_SETPLAYLISTPOS = 121;          // wParam: index
inline constexpr int IPC_SETVOLUME = 122;               // wParam: 0..255, or -666 to read
inline constexpr int IPC_GETVOLUME_QUERY = -666;        // the IPC_SETVOLUME argument that reads
inline constexpr int IPC_GETLISTLENGTH = 124;
inline constexpr int IPC_GETLISTPOS = 125;
inline constexpr int IPC_GETINFO = 126;                 // wParam 1: bitrate of the current entry
inline constexpr int IPC_GETPLAYLISTFILE = 211;         // wParam: index; const char* or null
inline constexpr int IPC_GETPLAYLISTTITLE = 212;        // wParam: index; const char* or null
inline constexpr int IPC_GET_SHUFFLE = 250;
inline constexpr int IPC_GET_REPEAT = 251;
inline constexpr int IPC_SET_SHUFFLE = 252;             // wParam 0 or 1
inline constexpr int IPC_SET_REPEAT = 253;              // wParam 0 or 1
inline constexpr int IPC_GETWND = 260;                  // wParam: which window
inline constexpr int IPC_GETWND_PE = 1;                 //   the playlist editor
inline constexpr int IPC_GET_HMENU = 281;               // wParam: menu number (0 or 3); HMENU
inline constexpr int IPC_GET_EXTENDED_FILE_INFO = 290;  // wParam: extendedFileInfoStruct*

// Requests to the playlist-editor window (wParam of WM_WA_IPC).
inline constexpr int IPC_PE_DELETEINDEX = 104;          // lParam: index
inline constexpr int IPC_PE_SWAPINDEX = 105;            // lParam: (a << 16) | b, 16 bits each
inline constexpr int IPC_PE_GETDIRTY = 107;             // > 0 when changed since IPC_PE_SETCLEAN
inline constexpr int IPC_PE_SETCLEAN = 108;

// WM_COMMAND identifiers for the main window (wParam, lParam 0).
inline constexpr int WINAMP_FILE_REPEAT = 40022;   // toggle repeat
inline constexpr int WINAMP_FILE_SHUFFLE = 40023;  // toggle shuffle
inline constexpr int WINAMP_BUTTON1 = 40044;       // previous entry
inline constexpr int WINAMP_BUTTON2 = 40045;       // play
inline constexpr int WINAMP_BUTTON3 = 40046;       // pause
inline constexpr int WINAMP_BUTTON4 = 40047;       // stop
inline constexpr int WINAMP_BUTTON5 = 40048;       // next entry
inline constexpr int WINAMP_FFWD5S = 40060;        // forward 5 seconds
inline constexpr int WINAMP_REW5S = 40061;         // back 5 seconds

/// IPC_PLAYFILE's argument. `title` may be null or empty (the player names the
/// entry); `length` in seconds, -1 when unknown. The player copies the texts.
struct enqueueFileWithMetaStruct {
    const char* filename;
    const char* title;
    int length;
};

/// IPC_GET_EXTENDED_FILE_INFO's argument: the player writes the value of
/// `metadata` ("artist", "album", "title", "length" in ms, ...) for
/// `filename` into `ret` (at most `retlen` bytes with the terminator).
struct extendedFileInfoStruct {
    const char* filename;
    const char* metadata;
    char* ret;
    std::size_t retlen;
};

} // namespace platform
