#pragma once

#include "platform/WindowTypes.h"

#include <string>

namespace platform {

/// The box `messageBox` shows when no hook is installed: the system's own
/// on Windows; on Linux, which has no such box, the text on standard error
/// and the default button's answer.
int systemMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

} // namespace platform
