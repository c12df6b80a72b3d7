#pragma once

#include "settings/IniDocument.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace host {

/// The INI file on disk: whole-file reads, and saves that replace the file in
/// one step. Every function may be called from any thread.
class IniFile {
public:
    enum class ReadStatus {
        Read,    ///< the file was read whole
        Missing, ///< there is no file at the path
        Failed,  ///< a file is there but could not be read, is not a regular
                 ///< file or is larger than `maxFileSize`
    };

    /// Larger files are refused rather than read: a settings file is a few
    /// kilobytes, and this bounds what a damaged one can cost.
    static constexpr std::size_t maxFileSize = 16 * 1024 * 1024;

    /// Reads the file at `path` into `document` (left empty unless Read).
    static ReadStatus read(const std::string& path, IniDocument& document);

    /// Reads the file (none yet counts as empty), lets `edit` change the
    /// document, and puts the result in place of the file: the text is written
    /// to `tempPathFor(path)`, flushed to the disk and renamed over the file,
    /// so a crash at any moment leaves the old file or the new one, whole.
    /// The new file keeps the old one's permission bits (0600 for a first
    /// save: it holds a password); a symbolic link at `path` is written
    /// through, not replaced. Updates of the whole process are serialised, so
    /// two threads never lose each other's keys. `edit` runs under that lock
    /// and must not call `update` itself.
    /// False, with the file left as it was, when an existing file cannot be
    /// read or the new text cannot be written and renamed.
    static bool update(const std::string& path, const std::function<void(IniDocument&)>& edit);

    /// The two halves of `update`, unlocked. `writeAside` writes `text` to
    /// `tempPathFor(path)` and flushes it, with the permission bits of the
    /// file at `path` when there is one; `commitAside` renames it over
    /// `path` and flushes the directory. Each answers false on failure and
    /// then leaves the file at `path` untouched.
    static bool writeAside(const std::string& path, std::string_view text);
    static bool commitAside(const std::string& path);

    /// "<path>.tmp", beside the file (after following a symbolic link).
    static std::string tempPathFor(const std::string& path);
};

} // namespace host
