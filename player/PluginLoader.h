#pragma once

#include "platform/PluginRecord.h"
#include "platform/SharedLibrary.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace player {

/// Loads general-purpose plug-ins and drives their lifecycle. Every
/// operation runs on the player's window thread (init, config and quit are
/// called there).
class PluginLoader {
public:
    /// `parent` is written into each record as its parent window; reasons for
    /// skipped files go to `log`.
    PluginLoader(platform::HWND parent, std::ostream& log);
    /// Quits and unloads whatever is still loaded.
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    /// Loads every "gen_*" module (gen_*.so; gen_*.dll on Windows) in
    /// `directory`, in name order; returns how many were loaded. A missing
    /// directory loads nothing.
    int loadDirectory(const std::string& directory);
    /// Loads one module: checks its export and record version, fills in the
    /// parent window and the module handle and calls init. False (with the
    /// reason in the log) when the file is not a usable plug-in.
    bool load(const std::string& path);

    std::size_t count() const { return plugins.size(); }
    const platform::PluginRecord* record(std::size_t index) const;
    const std::string& path(std::size_t index) const { return plugins[index].path; }

    /// Calls config of plug-in `index` (it may run a modal loop).
    void configure(std::size_t index);
    /// Calls quit of every plug-in, the last loaded first, then unloads them.
    /// `beforeUnload` runs between the quits and the unloading.
    void quitAll(const std::function<void()>& beforeUnload = {});

private:
    struct Loaded {
        std::string path;
        platform::SharedLibrary library;
        platform::PluginRecord* record = nullptr;
    };

    platform::HWND parent;
    std::ostream& log;
    std::vector<Loaded> plugins;
};

} // namespace player
