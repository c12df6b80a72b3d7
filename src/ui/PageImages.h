#pragma once

#include <QIcon>
#include <QPixmap>

namespace ui {

/// The page list's icon for a page's icon resource (3006 Server, 3010
/// Security, 3011 Activity, 3082 Library, 3012 About), drawn here.
QIcon pageIcon(int iconResource);

/// The About page's picture (bitmap 3095).
QPixmap aboutPicture();

} // namespace ui
