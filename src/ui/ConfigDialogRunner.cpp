#include "ui/ConfigDialogRunner.h"

#include "ui/ConfigDialog.h"

#include <QApplication>
#include <QPointer>

namespace ui {

bool runConfigDialog(host::Settings& settings, webapp::TuneletServer& server, webapp::WebApplication& webApplication)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    // The host's window keeps serving its messages while the dialog is open,
    // and one of them may be the menu command that opens it.
    static QPointer<ConfigDialog> open;
    if (open) {
        open->raise();
        open->activateWindow();
        return true;
    }
    ConfigDialog dialog(settings, server, webApplication, QApplication::activeWindow());
    open = &dialog;
    dialog.exec();
    return true;
}

} // namespace ui
