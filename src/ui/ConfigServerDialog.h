#pragma once

#include "ui/ConfigPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

/// The Server page: address, port, automatic start, time-out, and the Start
/// and Stop buttons (which post CM_START and CM_STOP) below the server's state.
class ConfigServerDialog final : public ConfigPage {
public:
    explicit ConfigServerDialog(ConfigDialog& dialog);

    QLineEdit* address;     // 3022
    QLineEdit* port;        // 3019
    QCheckBox* autoStart;   // 3017
    QLineEdit* timeout;     // 3018
    QPushButton* start;     // 3020
    QPushButton* stop;      // 3021
    /// The server's state ("serverStatus"): running, stopped, or why it
    /// cannot listen.
    QLabel* status;
    /// Why the last port or time-out text was not taken ("portMessage",
    /// "timeoutMessage", "addressMessage").
    QLabel* portMessage;
    QLabel* timeoutMessage;
    QLabel* addressMessage;
};

} // namespace ui
