#pragma once

#include "settings/SettingsData.h"

#include <string>
#include <vector>

namespace webapp {

/// The settings as the preferences dialog's controls and the settings page's
/// fields hold them: numbers and the address as typed, the address lists
/// with one pattern a line (LF or CR LF), the shared directories in any
/// order. Both take them into the record with `takeForm`, so the rules and
/// the messages are the same wherever a value is typed.
struct SettingsForm {
    /// The values as the controls show them.
    static SettingsForm of(const host::SettingsData& values);

    bool autoStart = false;
    std::string address;
    std::string port;
    std::string timeout;
    bool requirePassword = false;
    std::string username;
    std::string password;
    bool filterIPs = false;
    std::string allowedIPs;
    std::string blockedIPs;
    std::string allowedHosts;
    bool adminFromLan = false;
    bool enableML = false;
    std::vector<std::string> sharedDirs;
};

/// Why a typed value was not taken, per field; empty when it was.
struct FormMessages {
    std::string address;
    std::string port;
    std::string timeout;
    bool accepted() const { return address.empty() && port.empty() && timeout.empty(); }
};

/// Copies `form` into `values`: user name and password cut to 31 bytes, the
/// lists to 4094 (CR LF between lines, no half line break at the cut), the
/// directories without trailing separators and sorted without regard to
/// case. An address, port or time-out that is not one keeps the value
/// `values` had, and its message says so ("Not an IP address; kept
/// 0.0.0.0", "The port must be a number from 1 to 65535; kept 5151", "The
/// timeout must be a number of seconds; kept 900"). Pure.
FormMessages takeForm(const SettingsForm& form, host::SettingsData& values);

} // namespace webapp
