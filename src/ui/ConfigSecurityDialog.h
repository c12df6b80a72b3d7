#pragma once

#include "ui/ConfigPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace ui {

/// The Security page: the password requirement with its account, the
/// address filter with its two lists, the host names served besides the
/// machine's own, and whether the settings page opens to the LAN. A click on either check box saves at
/// once (CM_SAVE, then CM_REFRESH, which enables or disables the edits
/// that depend on it).
class ConfigSecurityDialog final : public ConfigPage {
public:
    explicit ConfigSecurityDialog(ConfigDialog& dialog);

    QCheckBox* requirePassword;  // 3031
    QLabel* usernameLabel;       // 3029
    QLineEdit* username;         // 3033
    QLabel* passwordLabel;       // 3032
    QLineEdit* password;         // 3024
    QCheckBox* filterIPs;        // 3027
    QPlainTextEdit* allowedIPs;  // 3028
    QPlainTextEdit* blockedIPs;  // 3030
    QLineEdit* allowedHosts;     // 3043
    /// The settings page may be used from other machines without a password.
    QCheckBox* adminFromLan;     // 3044
};

} // namespace ui
