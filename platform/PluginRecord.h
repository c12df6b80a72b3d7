#pragma once

#include "platform/WindowTypes.h"

namespace platform {

/// The version a general-purpose plug-in record carries; the host refuses others.
inline constexpr int PLUGIN_RECORD_VERSION = 0x10;

/// The record a general-purpose plug-in hands to the host, laid out in this
/// order. The plug-in owns it (and its description) for as long as it is
/// loaded. The host writes `hwndParent` (its main window) and `hDllInstance`
/// (its handle of the loaded module) before it calls `init`; `init`, `config`
/// and `quit` are called on the host's user-interface thread; `init` returns 0
/// for success.
struct PluginRecord {
    int version;
    const char* description;
    int (*init)();
    void (*config)();
    void (*quit)();
    HWND hwndParent;
    void* hDllInstance;
};

/// Name of the plug-in module's one export, and its type.
inline constexpr const char* PLUGIN_ENTRY_NAME = "winampGetGeneralPurposePlugin";
using PluginEntry = PluginRecord* (*)();

} // namespace platform

/// Every plug-in module defines this export.
extern "C" platform::PluginRecord* winampGetGeneralPurposePlugin();
