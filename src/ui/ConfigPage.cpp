#include "ui/ConfigPage.h"

#include <QLabel>

namespace ui {

ConfigPage::ConfigPage(ConfigDialog& owner, const char* className) : dialog(owner)
{
    setObjectName(className);
}

QLabel* ConfigPage::messageLabel(const char* name)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setStyleSheet("color: #b00020");
    label->setWordWrap(true);
    label->hide();
    return label;
}

} // namespace ui
