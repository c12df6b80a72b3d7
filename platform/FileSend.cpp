#include "platform/FileSend.h"

#include "platform/Socket.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string_view>
#include <utility>
#include <sys/sendfile.h>
#include <sys/types.h>
#include <unistd.h>

namespace platform {

namespace {

/// sendfile(2) has no MSG_NOSIGNAL: while one of these lives, SIGPIPE is
/// blocked on this thread, and one raised meanwhile is taken back before the
/// old mask returns, so a broken connection never reaches the host's handler.
/// Only the signal this thread caused is taken: one already pending stays.
class SigpipeGuard {
public:
    SigpipeGuard()
    {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &saved);
    }
    ~SigpipeGuard()
    {
        if (raised && !wasPending) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            timespec none{0, 0};
            while (sigtimedwait(&pipe, nullptr, &none) == -1 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

    void noteBrokenPipe() { raised = true; }

private:
    sigset_t saved{};
    bool wasPending = false;
    bool raised = false;
};

// At most this much per sendfile call, so the count always fits its result.
constexpr std::uint64_t largestCall = std::uint64_t{1} << 30;

} // namespace

std::uint64_t copyFileBlocks(int file, std::uint64_t offset, std::uint64_t length,
                             const std::function<bool(std::string_view)>& send)
{
    auto buffer = std::make_unique<char[]>(fileBlockSize);
    std::uint64_t sent = 0;
    while (sent < length) {
        ssize_t got = ::pread(file, buffer.get(), std::min(fileBlockSize, length - sent),
                              static_cast<off_t>(offset + sent));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        // Once a block cannot be sent the rest can reach no one.
        if (!send(std::string_view(buffer.get(), static_cast<std::size_t>(got))))
            break;
        sent += static_cast<std::uint64_t>(got);
    }
    return sent;
}

std::uint64_t sendFileBlocks(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed)
{
    sendFailed = false;
    return copyFileBlocks(file, offset, length, [&](std::string_view block) {
        sendFailed = sendAll(socket, block) < 0;
        return !sendFailed;
    });
}

namespace {

/// The sendfile(2) loop of both senders; `blocked` (when given) takes a full
/// buffer of a non-blocking socket.
std::uint64_t sendFileLoop(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed,
                           bool* blocked, const std::function<void()>& beforeCopy)
{
    sendFailed = false;
    SigpipeGuard guard;
    std::uint64_t sent = 0;
    while (sent < length) {
        auto at = static_cast<off_t>(offset + sent);
        ssize_t now = ::sendfile(socket, file, &at, std::min(largestCall, length - sent));
        if (now > 0) {
            sent += static_cast<std::uint64_t>(now);
            continue;
        }
        if (now == 0)
            break;  // the file is shorter than it was
        if (errno == EINTR)
            continue;
        if (blocked && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            *blocked = true;
            break;
        }
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
            // This pair of descriptors cannot be spliced: copy the rest.
            beforeCopy();
            bool failed = false;
            sent += sendFileBlocks(socket, file, offset + sent, length - sent, failed);
            sendFailed = failed;
            break;
        }
        if (errno == EPIPE)
            guard.noteBrokenPipe();
        sendFailed = true;
        break;
    }
    return sent;
}

} // namespace

std::uint64_t sendFileRange(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed)
{
    return sendFileLoop(socket, file, offset, length, sendFailed, nullptr, [] {});
}

std::uint64_t sendFileAvailable(int socket, int file, std::uint64_t offset, std::uint64_t length, bool& sendFailed,
                                bool& blocked)
{
    blocked = false;
    // sendfile(2) takes no flag for this: the socket is non-blocking for the
    // call only, as the rest of the connection's code waits on it.
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) {
        sendFailed = true;
        return 0;
    }
    bool restored = false;
    auto restore = [&] {
        if (!std::exchange(restored, true))
            ::fcntl(socket, F_SETFL, flags);
    };
    const std::uint64_t sent = sendFileLoop(socket, file, offset, length, sendFailed, &blocked, restore);
    restore();
    return sent;
}

} // namespace platform
