#pragma once

#include "platform/WindowTypes.h"

#include <functional>
#include <string>

// Message boxes. The host installs a hook that shows a real dialog when it
// has a display; without one the text goes to standard error and the default
// button answers.
namespace platform {

// Buttons (low four bits of the type).
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
// Icons.
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
// Default button (the first unless one of these is given).
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;

// Answers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

/// Shows the box and returns the button chosen (one of the ID values).
/// Called on the thread that asked for the box.
using MessageBoxHook =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;

/// Installs `hook` (empty: the headless default) and returns the one it replaces.
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);

/// Shows a message box through the installed hook; returns the answer.
int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

/// The answer of the default button of a box of `type` (what the headless
/// default returns).
int defaultMessageBoxAnswer(UINT type);

} // namespace platform
