#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace player {

/// What the player keeps across a restart.
struct PlayerState {
    struct Entry {
        std::string file;
        std::string title;
        int lengthSeconds = -1;  // -1 when unknown
    };
    enum class Transport { stopped, paused };

    std::vector<Entry> entries;
    int current = 0;
    int positionMs = 0;
    int volume = 255;
    bool shuffle = false;
    bool repeat = false;
    /// Paused: the player comes back paused at `positionMs` of the current
    /// entry (what was playing comes back paused too).
    Transport transport = Transport::stopped;

    /// More entries than the player ever holds mark a damaged file.
    static constexpr std::size_t maxEntries = 50000;
    static constexpr std::size_t maxFileSize = 256 * 1024 * 1024;

    /// The state as the player's extended M3U: "#EXTM3U", then "#EXTINF:" and
    /// path lines, then one last line with the rest of the state. Entries
    /// whose file name is empty, starts with '#' or holds a line break cannot
    /// be written and are left out (the current index follows); line breaks
    /// in titles become spaces.
    std::string text() const;

    /// Reads `text` as `text` writes it. False, with `error` saying why and
    /// the state untouched, for anything else: another first line, a missing
    /// or malformed last line (a file cut short), an entry count that
    /// disagrees, more than `maxEntries` entries, a NUL byte, an index or
    /// volume out of range.
    bool parse(std::string_view text, std::string& error);

    /// Reads the file at `path`. False with `error` when it is missing,
    /// unreadable, larger than `maxFileSize` or does not parse.
    bool load(const std::string& path, std::string& error);
    /// Writes the file at `path` aside and renames it over the old one, so
    /// that a crash at any moment leaves the old file or the new one whole.
    /// False (the old file untouched) when it cannot.
    bool save(const std::string& path) const;
};

} // namespace player
