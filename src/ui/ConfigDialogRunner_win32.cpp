// The preferences dialog on Windows is not built yet: the call shows nothing
// and says so, and the plug-in instance then tells the user the dialog failed.
#include "ui/ConfigDialogRunner.h"

namespace ui {

bool runConfigDialog(host::Settings&, webapp::TuneletServer&, webapp::WebApplication&)
{
    return false;
}

} // namespace ui
