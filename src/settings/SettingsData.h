#pragma once

#include "settings/IniDocument.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

/// The plug-in's configuration as a plain value: what `Settings` holds
/// behind its lock and hands out as copies. Copy it, change the copy, hand it
/// back (`Settings::replace`), or change it in place under the lock
/// (`Settings::update`).
///
/// In the file it is one section, `sectionName`, whose keys are read and
/// written in this order: "autoStart", "listenIP", "listenPort", "timeout",
/// "requirePassword", "username", "password", "filterIPs", "Allowed IPs",
/// "Blocked IPs" (written as "Blocked Ips"; names match without regard to
/// case), "Enable ML", "Shared Dirs", "DocumentRoot", "NeedsIndex",
/// "Allowed Hosts" and "Admin From LAN" (each written only when set or
/// already in the file). Every
/// other line of the file is kept by a write.
struct SettingsData {
    static constexpr const char* sectionName = "Tunelet Remote Control Plugin v1.0";

    /// Read limits: a longer stored value is cut to this many bytes.
    static constexpr std::size_t listenIPLimit = 15;
    static constexpr std::size_t credentialLimit = 32;
    static constexpr std::size_t addressListLimit = 4095;
    static constexpr std::size_t sharedDirsLimit = 266239;
    static constexpr std::size_t documentRootLimit = 259;

    /// The values stored in `document`, with the defaults for missing keys.
    static SettingsData readFrom(const IniDocument& document);
    /// Sets every key of the section (there is no partial write).
    void writeTo(IniDocument& document) const;

    bool operator==(const SettingsData&) const = default;

    bool autoStart = true;
    std::int32_t listenPort = 5151;
    /// Dotted IPv4 text as stored ("0.0.0.0": every local address). Text that
    /// is not an address is kept as it is; the server decides (parseIPv4).
    std::string listenIP = "0.0.0.0";
    /// Seconds an idle connection is kept.
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
    /// paths in the stored text, so a write leaves it out of the file.
    std::vector<std::string> sharedDirs;
    /// Empty until start-up fills in the default.
    std::string documentRoot;
    /// An indexing run was started and has not finished.
    bool needsIndex = false;
    /// Host names the server answers to beside IP literals, "localhost" and
    /// the machine's own names; white space, "," or ";" between them. Stored
    /// as the address lists are; older versions ignore the key.
    std::string allowedHosts;
    /// The settings page may be used from other machines while no password
    /// is required (with one it is open to whoever logs in). Off: only from
    /// this machine. Older versions ignore the key.
    bool adminFromLan = false;
};

} // namespace host
