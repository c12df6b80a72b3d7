#include "ui/ConfigServerDialog.h"

#include "ui/ConfigDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace ui {

ConfigServerDialog::ConfigServerDialog(ConfigDialog& owner)
    : ConfigPage(owner, "ConfigServerDialog"),
      address(named(new QLineEdit, 3022)),
      port(named(new QLineEdit, 3019)),
      autoStart(named(new QCheckBox("Automatically Start Server"), 3017)),
      timeout(named(new QLineEdit, 3018)),
      start(named(new QPushButton("Start"), 3020)),
      stop(named(new QPushButton("Stop"), 3021)),
      status(new QLabel),
      portMessage(messageLabel("portMessage")),
      timeoutMessage(messageLabel("timeoutMessage")),
      addressMessage(messageLabel("addressMessage"))
{
    // Digits and dots only, as in an address control; the dialog checks the parts.
    address->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9.]{0,15}"), address));
    address->setMaximumWidth(150);
    port->setMaximumWidth(60);
    timeout->setMaximumWidth(60);

    auto* settingsBox = new QGroupBox("Server Settings");
    auto* grid = new QGridLayout(settingsBox);
    grid->addWidget(new QLabel("Server IP Address"), 0, 0, Qt::AlignRight);
    grid->addWidget(address, 0, 1);
    grid->addWidget(addressMessage, 1, 1, 1, 2);
    grid->addWidget(new QLabel("Server Port"), 2, 0, Qt::AlignRight);
    grid->addWidget(port, 2, 1);
    grid->addWidget(portMessage, 3, 1, 1, 2);
    grid->addWidget(autoStart, 4, 1, 1, 2);
    grid->addWidget(new QLabel("Timeout After"), 5, 0, Qt::AlignRight);
    auto* timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(timeout);
    timeoutRow->addWidget(new QLabel("Seconds"));
    timeoutRow->addStretch();
    grid->addLayout(timeoutRow, 5, 1, 1, 2);
    grid->addWidget(timeoutMessage, 6, 1, 1, 2);
    grid->setColumnStretch(2, 1);

    status->setObjectName("serverStatus");
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* statusBox = new QGroupBox("Server Status");
    auto* statusRows = new QVBoxLayout(statusBox);
    statusRows->addWidget(status);
    auto* buttons = new QHBoxLayout;
    statusRows->addLayout(buttons);
    statusRows->addStretch();
    buttons->addStretch();
    buttons->addWidget(start);
    buttons->addWidget(stop);

    auto* page = new QVBoxLayout(this);
    page->addWidget(settingsBox);
    page->addWidget(statusBox, 1);

    QObject::connect(start, &QPushButton::clicked, this, [this] { dialog.post(CM_START); });
    QObject::connect(stop, &QPushButton::clicked, this, [this] { dialog.post(CM_STOP); });
}

} // namespace ui
