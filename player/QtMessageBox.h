#pragma once

#include "platform/MessageBox.h"

namespace player {

/// The message-box hook of a player with a display: a modal QMessageBox with
/// the box's caption, text, icon, buttons and default button, answering the
/// button chosen (a box closed without one answers its default button). Asked
/// from a thread other than the Qt thread, where no widget may be made, it
/// answers as the headless default does.
platform::MessageBoxHook qtMessageBoxHook();

} // namespace player
