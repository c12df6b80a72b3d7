#pragma once

#include "settings/SettingsData.h"

#include <mutex>
#include <string>
#include <utility>

namespace host {

/// The plug-in's one configuration record and its INI file. Owned by the
/// plug-in instance; other parts keep a reference and read a copy of the
/// values (`snapshot`) wherever they need them, so a reader never sees a
/// record half replaced.
///
/// Threads: every operation may run on any thread. The values are read and
/// changed only under `dataLock`: `snapshot` copies them, `update` and
/// `replace` change them whole. Saves are serialised by `saveLock`, and each
/// writes the values as they stand when it takes that lock, so the file ends
/// with the values of the last save, never an older copy that a slower save
/// took first. (IniFile serialises the writes of every file of the process
/// besides, so concurrent saves each leave a whole file.)
class Settings {
public:
    using Data = SettingsData;

    /// Keeps `path` as `iniPath` and loads at once, so a new record always
    /// holds the file's values or the defaults.
    explicit Settings(std::string path);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    /// Replaces the values by the file's; missing keys give the defaults.
    /// False when a file is there but cannot be read (every value then holds
    /// its default); a missing file is not a failure.
    bool load();

    /// Writes every key (there is no partial save), creating the file and the
    /// section when missing and keeping the file's other lines. False when
    /// the file cannot be read back or replaced; it then keeps its previous
    /// content whole.
    bool save();

    /// A copy of the values, taken under the lock.
    SettingsData snapshot() const;
    /// What `look` returns of the values, under the lock: one value read
    /// without copying them all.
    template <class Look>
    auto read(Look&& look) const
    {
        std::lock_guard<std::mutex> held(dataLock);
        return std::forward<Look>(look)(std::as_const(data));
    }

    /// Runs `change` on the values under the lock and returns what it
    /// returns. Keep it short: every reader waits for it.
    template <class Change>
    auto update(Change&& change)
    {
        std::lock_guard<std::mutex> held(dataLock);
        return std::forward<Change>(change)(data);
    }

    /// Replaces every value at once.
    void replace(SettingsData values);

    /// Full path of the settings file.
    const std::string iniPath;

private:
    mutable std::mutex dataLock;
    SettingsData data;
    std::mutex saveLock;
};

} // namespace host
