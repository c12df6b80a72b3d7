#include "ui/ConfigSecurityDialog.h"

#include "ui/ConfigDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace ui {

namespace {

QGroupBox* listBox(const char* title, QPlainTextEdit* edit)
{
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(edit);
    return box;
}

} // namespace

ConfigSecurityDialog::ConfigSecurityDialog(ConfigDialog& owner)
    : ConfigPage(owner, "ConfigSecurityDialog"),
      requirePassword(named(new QCheckBox("Require Authentication"), 3031)),
      usernameLabel(named(new QLabel("Username"), 3029)),
      username(named(new QLineEdit, 3033)),
      passwordLabel(named(new QLabel("Password"), 3032)),
      password(named(new QLineEdit, 3024)),
      filterIPs(named(new QCheckBox("Filter IP Addresses"), 3027)),
      allowedIPs(named(new QPlainTextEdit, 3028)),
      blockedIPs(named(new QPlainTextEdit, 3030)),
      allowedHosts(named(new QLineEdit, 3043)),
      adminFromLan(named(new QCheckBox("Allow The Settings Page From Other Machines"), 3044))
{
    password->setEchoMode(QLineEdit::Password);
    for (QPlainTextEdit* edit : {allowedIPs, blockedIPs})
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* passwordBox = new QGroupBox("Password");
    auto* grid = new QGridLayout(passwordBox);
    grid->addWidget(requirePassword, 0, 0, 1, 2);
    grid->addWidget(usernameLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(username, 1, 1);
    grid->addWidget(passwordLabel, 2, 0, Qt::AlignRight);
    grid->addWidget(password, 2, 1);

    auto* lists = new QHBoxLayout;
    lists->addWidget(listBox("Allowed IP Addresses", allowedIPs));
    lists->addWidget(listBox("Blocked IP Addresses", blockedIPs));

    auto* hostsBox = new QGroupBox("Allowed Host Names");
    auto* hosts = new QVBoxLayout(hostsBox);
    hosts->addWidget(allowedHosts);
    allowedHosts->setPlaceholderText("Addresses, localhost and this machine's names are always served");

    auto* page = new QVBoxLayout(this);
    page->addWidget(passwordBox);
    page->addWidget(filterIPs);
    page->addLayout(lists, 1);
    page->addWidget(hostsBox);
    adminFromLan->setToolTip("Without a password the settings page opens only on this machine");
    page->addWidget(adminFromLan);

    // The box has toggled itself already; the change is saved at once.
    for (QCheckBox* box : {requirePassword, filterIPs}) {
        QObject::connect(box, &QCheckBox::clicked, this, [this] {
            dialog.send(CM_SAVE);
            dialog.send(CM_REFRESH);
        });
    }
}

} // namespace ui
