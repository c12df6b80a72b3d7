#pragma once

#include "ui/ConfigPage.h"

class QLabel;

namespace ui {

/// The About page: the plug-in's name and version, its picture and three
/// lines on what it does.
class ConfigAboutDialog final : public ConfigPage {
public:
    explicit ConfigAboutDialog(ConfigDialog& dialog);

    QLabel* title;    // 3023
    QLabel* picture;  // 3040
};

} // namespace ui
