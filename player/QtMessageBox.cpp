#include "player/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <vector>

namespace player {

using namespace platform;

namespace {

struct Choice {
    QMessageBox::StandardButton button;
    int answer;
};

/// The buttons of each box type, left to right.
std::vector<Choice> buttonsOf(UINT type)
{
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon iconOf(UINT type)
{
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int show(const std::string& text, const std::string& caption, UINT type)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return defaultMessageBoxAnswer(type);

    QMessageBox box(iconOf(type), QString::fromStdString(caption), QString::fromStdString(text));
    std::vector<Choice> choices = buttonsOf(type);
    QMessageBox::StandardButtons all;
    for (const Choice& c : choices)
        all |= c.button;
    box.setStandardButtons(all);
    std::size_t defaultIndex = (type & MB_DEFBUTTON3) ? 2 : (type & MB_DEFBUTTON2) ? 1 : 0;
    if (defaultIndex < choices.size())
        box.setDefaultButton(choices[defaultIndex].button);
    auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Choice& c : choices)
        if (c.button == chosen)
            return c.answer;
    return defaultMessageBoxAnswer(type);
}

} // namespace

MessageBoxHook qtMessageBoxHook()
{
    return [](HWND, const std::string& text, const std::string& caption, UINT type) {
        return show(text, caption, type);
    };
}

} // namespace player
