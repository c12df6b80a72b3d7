#include "player/QtPlayerWindow.h"

#include "platform/PlayerMessages.h"
#include "player/Player.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace player {

using namespace platform;

namespace {

QString clockText(int ms)
{
    if (ms < 0)
        return QStringLiteral("-:--");
    int seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::string shownTitle(const PlaylistEntry& entry)
{
    return entry.title.empty() ? entry.file : entry.title;
}

} // namespace

QtPlayerWindow::QtPlayerWindow(Player& host) : player(host)
{
    setWindowTitle(QStringLiteral("Tunelet Player"));
    setObjectName(QStringLiteral("playerWindow"));

    // The menu bar stays in the window on every desktop, also where menus
    // usually go to a global menu bar: the player's menus are drawn here.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    const char* titles[2] = {"&Player", "&Options"};
    for (int i = 0; i < 2; ++i) {
        int which = i == 0 ? 0 : 3;
        menus[i] = menuBar()->addMenu(QString::fromUtf8(titles[i]));
        // The plug-ins edit the menu when it is about to open, so it is drawn
        // anew from the player's menu each time.
        connect(menus[i], &QMenu::aboutToShow, this, [this, which] { rebuildMenu(which); });
    }

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    nowPlaying = new QLabel(central);
    nowPlaying->setObjectName(QStringLiteral("nowPlaying"));
    column->addWidget(nowPlaying);

    auto* seekRow = new QHBoxLayout;
    seek = new QSlider(Qt::Horizontal, central);
    seek->setObjectName(QStringLiteral("seek"));
    time = new QLabel(central);
    seekRow->addWidget(seek, 1);
    seekRow->addWidget(time);
    column->addLayout(seekRow);
    // Dragged: only where the user lets go, as the position keeps moving
    // meanwhile. Clicked or stepped: at once.
    connect(seek, &QSlider::sliderReleased, this,
            [this] { request(IPC_JUMPTOTIME, static_cast<std::uintptr_t>(seek->value())); });
    connect(seek, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && !seek->isSliderDown())
            request(IPC_JUMPTOTIME, static_cast<std::uintptr_t>(seek->sliderPosition()));
    });

    auto* buttons = new QHBoxLayout;
    struct Button {
        int id;
        const char* name;
        const char* text;
        QStyle::StandardPixmap icon;
    };
    for (const Button& b : {Button{WINAMP_BUTTON1, "previous", "Previous", QStyle::SP_MediaSkipBackward},
                            Button{WINAMP_BUTTON2, "play", "Play", QStyle::SP_MediaPlay},
                            Button{WINAMP_BUTTON3, "pause", "Pause", QStyle::SP_MediaPause},
                            Button{WINAMP_BUTTON4, "stop", "Stop", QStyle::SP_MediaStop},
                            Button{WINAMP_BUTTON5, "next", "Next", QStyle::SP_MediaSkipForward}}) {
        auto* button = new QPushButton(style()->standardIcon(b.icon), QString::fromUtf8(b.text), central);
        button->setObjectName(QString::fromUtf8(b.name));
        int id = b.id;
        connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
        buttons->addWidget(button);
    }
    column->addLayout(buttons);

    auto* options = new QHBoxLayout;
    options->addWidget(new QLabel(QStringLiteral("Volume"), central));
    volume = new QSlider(Qt::Horizontal, central);
    volume->setObjectName(QStringLiteral("volume"));
    volume->setRange(0, 255);
    options->addWidget(volume, 1);
    connect(volume, &QSlider::valueChanged, this, [this](int value) {
        if (value != player.model().volume())
            request(IPC_SETVOLUME, static_cast<std::uintptr_t>(value));
    });
    shuffle = new QCheckBox(QStringLiteral("Shuffle"), central);
    shuffle->setObjectName(QStringLiteral("shuffle"));
    repeat = new QCheckBox(QStringLiteral("Repeat"), central);
    repeat->setObjectName(QStringLiteral("repeat"));
    connect(shuffle, &QCheckBox::clicked, this, [this](bool on) { request(IPC_SET_SHUFFLE, on ? 1 : 0); });
    connect(repeat, &QCheckBox::clicked, this, [this](bool on) { request(IPC_SET_REPEAT, on ? 1 : 0); });
    options->addWidget(shuffle);
    options->addWidget(repeat);
    column->addLayout(options);

    playlist = new QListWidget(central);
    playlist->setObjectName(QStringLiteral("playlist"));
    int iconSide = style()->pixelMetric(QStyle::PM_SmallIconSize);
    playlist->setIconSize(QSize(iconSide, iconSide));
    connect(playlist, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        request(IPC_SETPLAYLISTPOS, static_cast<std::uintptr_t>(playlist->row(item)));
        command(WINAMP_BUTTON2);
    });
    column->addWidget(playlist, 1);

    setCentralWidget(central);
    resize(480, 420);

    // As often as the web remote's watcher reads the player, so that the
    // window and the pages show a change made elsewhere at the same time; a
    // refresh that finds nothing changed touches no control.
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { refresh(); });
    timer->start(50);
    refresh();
}

QtPlayerWindow::~QtPlayerWindow() = default;

QMenu* QtPlayerWindow::rebuildMenu(int which)
{
    QMenu* menu = menus[which == 0 ? 0 : 1];
    menu->clear();
    for (const MenuItem& item : player.window().openMenu(which)) {
        QAction* action = menu->addAction(QString::fromStdString(item.text));
        UINT id = item.id;
        connect(action, &QAction::triggered, this, [this, id] {
            player.window().chooseMenuItem(id);
            refresh();
        });
    }
    return menu;
}

void QtPlayerWindow::command(int id)
{
    player.window().chooseMenuItem(static_cast<UINT>(id));
    refresh();
}

void QtPlayerWindow::request(int ipc, std::uintptr_t argument)
{
    sendMessage(player.mainWindow(), WM_WA_IPC, argument, ipc);
    refresh();
}

void QtPlayerWindow::refresh()
{
    PlayerModel& model = player.model();
    refreshPlaylist();

    int length = model.currentLengthMs();
    int elapsed = model.elapsedMs();
    if (!seek->isSliderDown()) {
        seek->setRange(0, length > 0 ? length : 0);
        seek->setValue(elapsed);
    }
    time->setText(clockText(model.state() == PlayState::stopped ? 0 : elapsed) + QStringLiteral(" / ") +
                  clockText(length));
    if (!volume->isSliderDown() && volume->value() != model.volume()) {
        QSignalBlocker quiet(volume);
        volume->setValue(model.volume());
    }
    shuffle->setChecked(model.shuffle());
    repeat->setChecked(model.repeat());
}

void QtPlayerWindow::refreshPlaylist()
{
    PlayerModel& model = player.model();
    const Playlist& list = model.playlist();
    int current = list.size() > 0 ? model.position() : -1;
    int state = static_cast<int>(model.state());
    // The titles are gathered only when the list changed since last shown.
    bool listChanged = list.revision() != shownRevision;
    if (!listChanged && current == shownCurrent && state == shownState)
        return;

    if (listChanged) {
        std::vector<Shown> entries;
        entries.reserve(static_cast<std::size_t>(list.size()));
        for (int i = 0; i < list.size(); ++i)
            entries.push_back({list.at(i)->serial, shownTitle(*list.at(i))});
        if (entries != shownEntries) {
            playlist->clear();
            for (std::size_t i = 0; i < entries.size(); ++i)
                playlist->addItem(QStringLiteral("%1. %2").arg(i + 1).arg(QString::fromStdString(entries[i].title)));
            shownEntries = std::move(entries);
        }
        shownRevision = list.revision();
    }
    // The current entry: bold, with the transport state's icon.
    QIcon stateIcon = style()->standardIcon(state == static_cast<int>(PlayState::playing) ? QStyle::SP_MediaPlay
                                            : state == static_cast<int>(PlayState::paused) ? QStyle::SP_MediaPause
                                                                                            : QStyle::SP_MediaStop);
    // Every other entry has a blank icon of the same size, so rows keep their height.
    QPixmap blank(playlist->iconSize());
    blank.fill(Qt::transparent);
    for (int i = 0; i < playlist->count(); ++i) {
        QListWidgetItem* item = playlist->item(i);
        QFont font = item->font();
        font.setBold(i == current);
        item->setFont(font);
        item->setIcon(i == current ? stateIcon : QIcon(blank));
    }
    if (current >= 0) {
        playlist->setCurrentRow(current);
        nowPlaying->setText(QString::fromStdString(shownEntries[static_cast<std::size_t>(current)].title));
    } else {
        nowPlaying->setText(QStringLiteral("Nothing to play"));
    }
    shownCurrent = current;
    shownState = state;
}

void QtPlayerWindow::closeEvent(QCloseEvent* event)
{
    // The player decides: WM_CLOSE ends its loop (and so this window).
    event->ignore();
    sendMessage(player.mainWindow(), WM_CLOSE);
}

} // namespace player
