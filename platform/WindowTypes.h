#pragma once

#include <cstdint>

namespace platform {

/// Opaque window handle: a registry key, never dereferenced. A handle of a
/// destroyed window is simply invalid (every operation on it fails softly);
/// handles are not reused while the process runs.
struct WindowTag;
using HWND = WindowTag*;

/// Opaque menu handle (see Menu.h), with the same rules as HWND.
struct MenuTag;
using HMENU = MenuTag*;

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

/// The calling convention of window procedures: the system's own on Windows
/// (where the system calls them), the default elsewhere. Every window
/// procedure is declared with it, e.g.
/// `LRESULT PLATFORM_CALLBACK proc(HWND, UINT, WPARAM, LPARAM)` or
/// `[](HWND, UINT, WPARAM, LPARAM) PLATFORM_CALLBACK -> LRESULT { ... }`.
#ifdef _WIN32
#define PLATFORM_CALLBACK __attribute__((stdcall))
#else
#define PLATFORM_CALLBACK
#endif

/// A window procedure. Always runs on the thread that owns the window.
using WindowProc = LRESULT(PLATFORM_CALLBACK*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

/// A posted message as `getMessage` hands it out.
struct Message {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

constexpr unsigned loWord(std::uintptr_t value) { return static_cast<unsigned>(value & 0xFFFF); }
constexpr unsigned hiWord(std::uintptr_t value) { return static_cast<unsigned>((value >> 16) & 0xFFFF); }
/// (high << 16) | low, each cut to 16 bits.
constexpr std::uintptr_t makeLong(unsigned low, unsigned high)
{
    return (static_cast<std::uintptr_t>(high & 0xFFFF) << 16) | (low & 0xFFFF);
}

} // namespace platform
