#include "player/SignalWatcher.h"

#include "platform/PlayerMessages.h"
#include "platform/Window.h"

#include <csignal>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace player {

namespace {

sigset_t terminationSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void SignalWatcher::blockTerminationSignals()
{
    sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(platform::HWND target) : target(target)
{
    sigset_t set = terminationSignals();
    signals.reset(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    if (signals.isValid() && stopping.isValid())
        thread = std::thread([this] { watch(); });
}

SignalWatcher::~SignalWatcher()
{
    stopping.signal();
    if (thread.joinable())
        thread.join();
}

void SignalWatcher::watch()
{
    for (;;) {
        pollfd fds[2] = {{signals.get(), POLLIN, 0}, {stopping.descriptor(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;  // interrupted
        if (fds[1].revents & POLLIN)
            return;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            while (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                platform::postMessage(target, platform::WM_CLOSE);
        }
    }
}

} // namespace player
