#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// UTF-8 text in and out of Win32 controls (which hold UTF-16).
namespace ui::win32 {

std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

/// The control's whole text, as UTF-8.
std::string windowText(HWND control);
void setWindowText(HWND control, std::string_view text);

} // namespace ui::win32
