#pragma once

#include "platform/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace bench {

/// The listeners of a benchmark in a process of their own, in a session of
/// its own, as browsers are programs of their own: their reading then
/// competes with the server for the machine's CPUs as another program
/// does, not as threads of the server's own process, which the system
/// shares the process's CPU time with. Driven over a pair of pipes.
class CrowdProcess {
public:
    /// Forks the process; call before any thread is made. Not running
    /// (`running`) when it could not be made.
    static CrowdProcess start();
    bool running() const { return child > 0; }
    CrowdProcess(CrowdProcess&& other) noexcept
        : child(std::exchange(other.child, -1)), toChild(std::move(other.toChild)),
          fromChild(std::move(other.fromChild))
    {
    }
    CrowdProcess& operator=(CrowdProcess&&) = delete;
    /// Ends the process and waits for it.
    ~CrowdProcess();

    /// Opens `count` streams of "/live" on `port` with `cookie` (a whole
    /// header line), each read as it arrives (see `ListenerCrowd`); false
    /// when one was not served.
    bool open(std::uint16_t port, int count, const std::string& cookie);
    /// Waits until every listener has been told `volume` last (30 s at
    /// most): the events each was sent on average, or none.
    std::optional<double> allHeard(int volume);
    /// Closes every stream.
    bool close();

private:
    CrowdProcess() = default;
    CrowdProcess(int child, platform::UniqueFd toChild, platform::UniqueFd fromChild)
        : child(child), toChild(std::move(toChild)), fromChild(std::move(fromChild))
    {
    }
    /// Sends one line and gives the answer's line; empty when the process is gone.
    std::string ask(const std::string& line);

    int child = -1;
    platform::UniqueFd toChild;
    platform::UniqueFd fromChild;
};

} // namespace bench
