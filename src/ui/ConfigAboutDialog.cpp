#include "ui/ConfigAboutDialog.h"

#include "ui/PageImages.h"
#include "webapp/WebApplication.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ui {

ConfigAboutDialog::ConfigAboutDialog(ConfigDialog& owner)
    : ConfigPage(owner, "ConfigAboutDialog"),
      title(named(new QLabel(QString("Tunelet Remote Control Plugin") + " v" + webapp::WebApplication::version), 3023)),
      picture(named(new QLabel, 3040))
{
    title->setAlignment(Qt::AlignCenter);
    picture->setPixmap(aboutPicture());
    picture->setAlignment(Qt::AlignCenter);

    auto* page = new QVBoxLayout(this);
    page->addStretch();
    page->addWidget(title);
    page->addWidget(picture);
    for (const char* line : {"Your player, played from any browser.", "Shares and streams your music library.",
                             "Finds the other players on your network."}) {
        auto* label = new QLabel(line);
        label->setAlignment(Qt::AlignCenter);
        page->addWidget(label);
    }
    page->addStretch();
}

} // namespace ui
