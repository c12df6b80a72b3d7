// The system's message box on Windows.
#include "platform/SystemMessageBox.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace platform {

int systemMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    return MessageBoxW(reinterpret_cast<::HWND>(owner), win32::toUtf16(text).c_str(),
                       win32::toUtf16(caption).c_str(), type);
}

} // namespace platform
