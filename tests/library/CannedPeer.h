#pragma once

#include "platform/Socket.h"
#include "platform/WakeupDescriptor.h"

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace librarytest {

/// A stand-in for another instance on 127.0.0.1: every connection it accepts
/// gets `answer` once the request's head has arrived, then (with
/// `closeAfterAnswer`) its end. A silent peer accepts and never answers.
/// The received request heads are kept in order. It listens on `address`
/// (network order; 0 for every address of this machine).
class CannedPeer {
public:
    enum class Mode { answerAndClose, answerAndStayOpen, silent };

    explicit CannedPeer(std::string answer, Mode mode = Mode::answerAndClose,
                        std::uint32_t address = platform::loopbackAddress())
        : answer(std::move(answer)), mode(mode), listening(platform::listenTcp(address, 0))
    {
        port = platform::boundPort(listening.get());
        thread = std::thread([this] { serve(); });
    }
    ~CannedPeer()
    {
        stopping.signal();
        thread.join();
    }

    std::string url(const std::string& target) const { return "http://127.0.0.1:" + std::to_string(port) + target; }
    /// What the connections accepted from now on get.
    void setAnswer(std::string text)
    {
        std::lock_guard guard(lock);
        answer = std::move(text);
    }
    std::vector<std::string> requests() const
    {
        std::lock_guard guard(lock);
        return received;
    }
    /// Connections accepted so far (a silent peer's too).
    std::size_t acceptedCount() const
    {
        std::lock_guard guard(lock);
        return accepted;
    }

    std::uint16_t port = 0;

private:
    void serve()
    {
        std::vector<platform::UniqueFd> held;
        for (;;) {
            const int watched[] = {stopping.descriptor(), listening.get()};
            if (platform::waitReadable(watched, std::chrono::seconds(-1)) != 1)
                return;
            std::string peer;
            platform::UniqueFd connection = platform::acceptSocket(listening.get(), peer);
            if (!connection)
                continue;
            {
                std::lock_guard guard(lock);
                ++accepted;
            }
            if (mode != Mode::silent) {
                std::string head;
                char buffer[4096];
                while (head.find("\r\n\r\n") == std::string::npos) {
                    const int one[] = {connection.get()};
                    if (platform::waitReadable(one, std::chrono::seconds(5)) != 0)
                        break;
                    long got = platform::receiveSome(connection.get(), buffer, sizeof buffer);
                    if (got <= 0)
                        break;
                    head.append(buffer, std::size_t(got));
                }
                std::string text;
                {
                    std::lock_guard guard(lock);
                    received.push_back(head);
                    text = answer;
                }
                platform::sendAll(connection.get(), text);
            }
            if (mode != Mode::answerAndClose)
                held.push_back(std::move(connection));
        }
    }

    std::string answer;  // guarded by `lock`
    const Mode mode;
    platform::UniqueFd listening;
    platform::WakeupDescriptor stopping;
    mutable std::mutex lock;
    std::vector<std::string> received;
    std::size_t accepted = 0;  // guarded by `lock`
    std::thread thread;
};

} // namespace librarytest
