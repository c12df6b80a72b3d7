#pragma once

#include <QWidget>

#include <string>

class QLabel;

namespace ui {

class ConfigDialog;

/// Base of the dialog's five pages: a frameless child of the dialog's page
/// frame that keeps the dialog, to send or post it messages. Its controls
/// are public: the dialog fills and reads them. Dialog thread only.
class ConfigPage : public QWidget {
public:
    ConfigPage(ConfigDialog& dialog, const char* className);

protected:
    /// A control named by its numeric identifier.
    template <class Control>
    static Control* named(Control* control, int id)
    {
        control->setObjectName(QString::number(id));
        return control;
    }
    /// A label beside an edit saying why its text was not taken; hidden
    /// until then.
    static QLabel* messageLabel(const char* name);

    ConfigDialog& dialog;
};

} // namespace ui
