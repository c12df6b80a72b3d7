#pragma once

#include <memory>

class QSocketNotifier;

// The platform's message queue dispatched from inside Qt's event loop, for a
// thread that runs Qt (the player's window thread, where the plug-in's dialog
// runs too). Its own library, tunelet_platform_qt; the platform layer itself
// knows nothing of Qt.
//
// Usage, on the thread that owns the windows, once a QCoreApplication (or
// QApplication) exists:
//
//     QApplication app(argc, argv);
//     platform::QtMessagePump pump;          // watches this thread's queue
//     HWND window = platform::createWindow(proc);
//     int code = app.exec();                 // postQuitMessage(code) ends it
//
// While the pump lives, messages that other threads send or post to this
// thread's windows are answered from Qt's loop, and equally from every nested
// loop (QDialog::exec, QMenu::exec, QEventLoop::exec), so a modal dialog
// never stalls the threads waiting in sendMessage. A quit request
// (postQuitMessage) reached by the pump calls QCoreApplication::exit with its
// exit code, which ends the nested loops and then the application's. The
// headless path (runMessageLoop) needs none of this.
namespace platform {

class QtMessagePump {
public:
    /// Watches the calling thread's queue. Construct and destroy it on that
    /// thread; messages already pending are served by the loop's first pass.
    QtMessagePump();
    ~QtMessagePump();
    QtMessagePump(const QtMessagePump&) = delete;
    QtMessagePump& operator=(const QtMessagePump&) = delete;

    /// False when the queue's descriptor could not be made (nothing is pumped).
    bool isWatching() const { return notifier != nullptr; }

    /// Serves whatever is pending now (what the notifier does on readiness).
    void pump();

private:
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace platform
