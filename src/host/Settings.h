#pragma once

#include "host/IniDocument.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

/// The plug-in's one configuration record and its INI file. Owned by the
/// plug-in instance; other parts keep a plain reference, read the fields
/// directly and assign them before calling `save()`.
///
/// The file has one section, `sectionName`, whose keys are read and written in
/// this order: "autoStart", "listenIP", "listenPort", "timeout",
/// "requirePassword", "username", "password", "filterIPs", "Allowed IPs",
/// "Blocked IPs" (written as "Blocked Ips"; names match without regard to
/// case), "Enable ML", "Shared Dirs", "DocumentRoot", "NeedsIndex". Every
/// other line of the file is kept by a save.
///
/// Threads: the record has no lock. The fields are assigned on the host's
/// user-interface thread; the indexer's thread assigns only `needsIndex`
/// (atomic for that reason) and saves. Saves of the whole process are
/// serialised by IniFile, so concurrent saves each leave a whole file.
class Settings {
public:
    static constexpr const char* sectionName = "Tunelet Remote Control Plugin v1.0";

    /// Read limits: a longer stored value is cut to this many bytes.
    static constexpr std::size_t listenIPLimit = 15;
    static constexpr std::size_t credentialLimit = 32;
    static constexpr std::size_t addressListLimit = 4095;
    static constexpr std::size_t sharedDirsLimit = 266239;
    static constexpr std::size_t documentRootLimit = 259;

    /// Keeps `path` as `iniPath` and loads at once, so a new record always
    /// holds the file's values or the defaults.
    explicit Settings(std::string path);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    /// Reads every key into the fields; missing keys give the defaults. False
    /// when a file is there but cannot be read (every field then holds its
    /// default); a missing file is not a failure.
    bool load();

    /// Writes every key from the fields (there is no partial save), creating
    /// the file and the section when missing and keeping the file's other
    /// lines. False when the file cannot be read back or replaced; it then
    /// keeps its previous content whole.
    bool save();

    /// A copy of `documentRoot`.
    std::string getDocumentRoot() const;

    /// The fields from a parsed file, with the defaults for missing keys.
    void readFrom(const IniDocument& document);
    /// Sets every key of the section from the fields.
    void writeTo(IniDocument& document) const;

    /// Full path of the settings file.
    const std::string iniPath;
    bool autoStart = true;
    std::int32_t listenPort = 5151;
    /// Dotted IPv4 text as stored ("0.0.0.0": every local address). Text that
    /// is not an address is kept as it is; the server decides (parseIPv4).
    std::string listenIP = "0.0.0.0";
    /// Seconds; stored and edited only.
    std::int32_t timeout = 900;
    std::string username;
    /// Kept and stored as plain text.
    std::string password;
    bool requirePassword = false;
    bool filterIPs = false;
    /// Address patterns, one per line, lines separated by CR LF.
    std::string allowedIPs = "127.0.0.1\r\n192.168.0.*\r\n192.168.1.*";
    std::string blockedIPs;
    bool enableML = true;
    /// Full paths, in order. A path holding ";" cannot be told apart from two
    /// paths in the stored text, so a save leaves it out of the file.
    std::vector<std::string> sharedDirs;
    /// Empty until start-up fills in the default.
    std::string documentRoot;
    /// An indexing run was started and has not finished.
    std::atomic<bool> needsIndex{false};
};

} // namespace host
