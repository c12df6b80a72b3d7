#include "ui/ConfigDialog.h"

#include "settings/ControlValues.h"
#include "settings/Ipv4Address.h"
#include "settings/Settings.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "ui/ConfigAboutDialog.h"
#include "ui/ConfigActivityDialog.h"
#include "ui/ConfigLibraryDialog.h"
#include "ui/ConfigSecurityDialog.h"
#include "ui/ConfigServerDialog.h"
#include "ui/DialogNotifications.h"
#include "ui/PageImages.h"
#include "webapp/ServerState.h"
#include "webapp/SettingsApply.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>

#include <memory>

namespace ui {

namespace {

struct PageEntry {
    const char* text;
    int iconResource;
};
constexpr PageEntry pageEntries[] = {
    {"Server", 3006}, {"Security", 3010}, {"Activity", 3011}, {"Library", 3082}, {"About", 3012},
};

std::string textOf(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

/// Shows `why` beside a field whose text was not taken, or hides it.
void explain(QLabel* message, const std::string& why)
{
    message->setText(QString::fromStdString(why));
    message->setVisible(!why.empty());
}

} // namespace

ConfigDialog::ConfigDialog(host::Settings& settings, webapp::TuneletServer& server,
                           webapp::WebApplication& webApplication, QWidget* parent)
    : QDialog(parent), settings(settings), server(server), webApplication(webApplication)
{
    setWindowTitle(caption);
    setObjectName("3002");
    DialogNotifications& notifications = DialogNotifications::instance();
    notifications.attach(this);
    server.onStarted.add(&notifications.onServerState);
    server.onFinished.add(&notifications.onServerState);
    server.onListening.add(&notifications.onServerState);

    list = new QListWidget;
    list->setObjectName("3011");
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setIconSize(QSize(16, 16));
    list->setFixedWidth(list->fontMetrics().horizontalAdvance("Security") + 16 + 40);

    auto* pageFrame = new QFrame;
    pageFrame->setObjectName("3015");
    pageFrame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    frame = new QStackedLayout(pageFrame);

    server_ = new ConfigServerDialog(*this);
    security = new ConfigSecurityDialog(*this);
    activity = new ConfigActivityDialog(*this);
    send(CM_ACTIVITY_ATTACH);
    library = new ConfigLibraryDialog(*this);
    about = new ConfigAboutDialog(*this);
    pages = {server_, security, activity, library, about};
    for (std::size_t index = 0; index < pages.size(); ++index) {
        auto* item = new QListWidgetItem(pageIcon(pageEntries[index].iconResource), pageEntries[index].text);
        // For finding an entry from outside: its page's class and its icon.
        item->setData(Qt::UserRole, pages[index]->objectName());
        item->setData(Qt::UserRole + 1, pageEntries[index].iconResource);
        list->addItem(item);
        frame->addWidget(pages[index]);
    }

    auto* ok = new QPushButton("OK");
    ok->setObjectName("1");
    ok->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(list, 0, 0, 2, 1);
    layout->addWidget(pageFrame, 0, 1);
    layout->addWidget(ok, 1, 1, Qt::AlignRight);
    layout->setColumnStretch(1, 1);

    fillControls();
    showPage(0);
    list->setCurrentRow(0);
    QObject::connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            showPage(row);
    });
    QObject::connect(ok, &QPushButton::clicked, this, [this] { closeAsOk(); });

    library::Indexer& indexer = webApplication.library->indexer();
    indexer.onFinished.add(&notifications.onRefresh);
    indexer.onProgress.add(&notifications.onIndexStatus);
    // What the settings page changes shows here too.
    webApplication.settingsChanged.add(&notifications.onRefresh);
}

ConfigDialog::~ConfigDialog()
{
    DialogNotifications& notifications = DialogNotifications::instance();
    library::Indexer& indexer = webApplication.library->indexer();
    indexer.onFinished.remove(&notifications.onRefresh);
    indexer.onProgress.remove(&notifications.onIndexStatus);
    webApplication.settingsChanged.remove(&notifications.onRefresh);
    server.onStarted.remove(&notifications.onServerState);
    server.onFinished.remove(&notifications.onServerState);
    server.onListening.remove(&notifications.onServerState);
    // Closing detaches the Activity page; a dialog destroyed otherwise does here.
    server.activity.remove(&notifications.onActivity);
    notifications.detachActivity(activity);
    notifications.detach(this);
}

void ConfigDialog::post(unsigned message, std::string text)
{
    postBox.post(this, {message, std::move(text)});
}

void ConfigDialog::customEvent(QEvent* event)
{
    if (const std::optional<PostedMessage> posted = postBox.take(event))
        send(posted->message, posted->text);
}

void ConfigDialog::send(unsigned message, const std::string& text)
{
    DialogNotifications& notifications = DialogNotifications::instance();
    switch (message) {
    case CM_REFRESH:
        fillControls();
        break;
    case CM_START:
        readControls();
        server_->start->setEnabled(false);
        server.restart(webapp::handServerSettings(server, settings.snapshot()));
        break;
    case CM_STOP:
        readControls();
        server_->stop->setEnabled(false);
        server.stop();
        break;
    case CM_SAVE:
        readControls();
        break;
    case CM_REINDEX:
        reindex();
        break;
    case CM_ACTIVITY_ATTACH:
        notifications.attachActivity(activity);
        server.activity.add(&notifications.onActivity);
        server.publishActivity();
        break;
    case CM_ACTIVITY_DETACH:
        server.activity.remove(&notifications.onActivity);
        notifications.detachActivity(activity);
        break;
    case CM_CLOSE:
        done(QDialog::Accepted);
        break;
    case CM_INDEX_STATUS:
        library->status->setText(QString::fromStdString(text));
        break;
    case CM_APPLY:
        apply();
        break;
    default:
        break;
    }
}

void ConfigDialog::showPage(int index)
{
    current = index;
    frame->setCurrentIndex(index);
}

void ConfigDialog::closeAsOk()
{
    if (closing)
        return;
    if (!readControls()) {
        list->setCurrentRow(0);
        return;
    }
    closing = true;
    post(CM_ACTIVITY_DETACH);
    post(CM_APPLY);
    post(CM_CLOSE);
}

void ConfigDialog::reject()
{
    closeAsOk();
}

void ConfigDialog::fillControls()
{
    const host::SettingsData values = settings.snapshot();

    server_->address->setText(QString::fromStdString(values.listenIP));
    server_->port->setText(QString::number(values.listenPort));
    server_->autoStart->setChecked(values.autoStart);
    server_->timeout->setText(QString::number(values.timeout));
    const bool running = server.threadId() != 0;
    server_->start->setEnabled(!running);
    server_->stop->setEnabled(running);
    server_->status->setText(QString::fromStdString(webapp::serverStateText(webapp::serverStateOf(server))));

    security->requirePassword->setChecked(values.requirePassword);
    security->username->setText(QString::fromStdString(values.username));
    security->password->setText(QString::fromStdString(values.password));
    security->filterIPs->setChecked(values.filterIPs);
    security->allowedIPs->setPlainText(QString::fromStdString(host::fromCrLf(values.allowedIPs)));
    security->blockedIPs->setPlainText(QString::fromStdString(host::fromCrLf(values.blockedIPs)));
    security->adminFromLan->setChecked(values.adminFromLan);
    security->allowedHosts->setText(QString::fromStdString(host::fromCrLf(values.allowedHosts)).replace('\n', ' '));
    for (QWidget* control : {static_cast<QWidget*>(security->username), static_cast<QWidget*>(security->password)})
        control->setEnabled(values.requirePassword);
    security->allowedIPs->setEnabled(values.filterIPs);
    security->blockedIPs->setEnabled(values.filterIPs);

    library->enableML->setChecked(values.enableML);
    library->setDirectories(values.sharedDirs);
    showIndexStatus();
}

void ConfigDialog::showIndexStatus()
{
    // During a rebuild the status shows its progress (CM_INDEX_STATUS), the
    // path of every tenth entry; until the first arrives it says so.
    if (webApplication.library->isIndexing()) {
        if (library->status->text().isEmpty() || !library->reindex->isHidden())
            library->status->setText("Indexing the shared folders...");
        library->reindex->hide();
        return;
    }
    library->status->setText(QString::fromStdString(webapp::indexStatus(webApplication)));
    library->reindex->show();
}

bool ConfigDialog::readControls()
{
    const webapp::SettingsForm form{.autoStart = server_->autoStart->isChecked(),
                                    .address = textOf(server_->address),
                                    .port = textOf(server_->port),
                                    .timeout = textOf(server_->timeout),
                                    .requirePassword = security->requirePassword->isChecked(),
                                    .username = textOf(security->username),
                                    .password = textOf(security->password),
                                    .filterIPs = security->filterIPs->isChecked(),
                                    .allowedIPs = security->allowedIPs->toPlainText().toStdString(),
                                    .blockedIPs = security->blockedIPs->toPlainText().toStdString(),
                                    .allowedHosts = textOf(security->allowedHosts),
                                    .adminFromLan = security->adminFromLan->isChecked(),
                                    .enableML = library->enableML->isChecked(),
                                    .sharedDirs = library->directories()};
    const webapp::FormMessages messages = webapp::saveForm(settings, form);
    explain(server_->addressMessage, messages.address);
    explain(server_->portMessage, messages.port);
    explain(server_->timeoutMessage, messages.timeout);
    return messages.accepted();
}

void ConfigDialog::reindex()
{
    readControls();
    // A running rebuild keeps the directories it started with.
    if (webApplication.library->isIndexing())
        return;
    webapp::startReindex(webApplication);
    fillControls();
}

void ConfigDialog::apply()
{
    readControls();
    // A running listener listens anew on the new address and port.
    webapp::applyToServer(server, settings, webapp::RestartWhen::running);
}

} // namespace ui
