#pragma once

#include "discovery/IPacket.h"
#include "discovery/PeerTable.h"
#include "platform/Event.h"
#include "platform/Guid.h"
#include "platform/UniqueFd.h"
#include "platform/WakeupDescriptor.h"
#include "threading/Delegate.h"
#include "threading/Thread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace discovery {

/// Announces this instance on the LAN and keeps the table of the others.
///
/// Its thread broadcasts an announcement (state 1, this instance's id, the
/// computer name and the HTTP port) to 255.255.255.255:51515 every 3 s and
/// takes every announcement that arrives on port 51515: a peer is listed from
/// its first announcement, refreshed by each further one from the same
/// sender, and dropped by its leaving announcement (state 0) or when not heard
/// for 10 s (an expiry pass runs every 5 s); see `PeerTable` for what is
/// refused and what a full table keeps. `stop()` broadcasts the leaving announcement and ends the
/// thread.
///
/// The socket is bound to the wildcard address with address reuse, so several
/// instances on one machine all hear every broadcast. After a failed send the
/// socket is made anew and sending waits for the next announcement period, so
/// a machine without a route for the broadcast is not flooded with retries.
///
/// Threads: made, started, stopped and destroyed by the owner (the media
/// library, on the host's user-interface thread); `peers()` may be called from
/// any thread. `listeners` are told (argument: the `PeerTable*`) on the
/// agent's thread, with the table's lock held, after each announcement taken;
/// an observer must not call `peers()`. Nothing throws.
class DiscoveryAgent : public threading::Thread {
public:
    static constexpr std::uint16_t discoveryPort = 51515;
    static constexpr std::uint32_t announcePeriod = 3000;
    static_assert(PeerTable::heardLately >= 2 * announcePeriod, "a full table spares one late announcement");
    static constexpr std::uint32_t expiryPeriod = 5000;
    /// How long `stop()` waits for the leaving announcement to go out.
    static constexpr std::uint32_t leavingWait = 1000;

    /// `announcedPort` gives the HTTP port to announce; it is asked on the
    /// agent's thread before each announcement and on the owner's in `stop()`.
    /// Draws the instance id; opens nothing yet.
    explicit DiscoveryAgent(std::function<std::uint16_t()> announcedPort);
    /// Stops the thread when it still runs.
    ~DiscoveryAgent() override;

    /// Sends the leaving announcement (unless the thread has ended or never
    /// ran), waiting for it at most `leavingWait` ms (not at all while sends
    /// are failing), then ends the thread and waits for it. Returns true; a second call does nothing more.
    bool stop() override;
    /// The thread's body: 0 after `stop()`, -1 when no socket could be made.
    int run() override;

    /// A copy of the peer table, in key order, taken under its lock.
    std::vector<PeerEntry> peers() const;
    /// This instance's id, as announced.
    const platform::Guid& instanceId() const { return id; }
    /// Sends that failed other than by would-block, since construction.
    std::uint32_t sendFailures() const { return failedSends.load(); }

    threading::Delegate listeners;

private:
    /// One pass of the socket loop until stop or restart.
    void serve(int socket);
    void receive(int socket);
    void send(int socket);
    void announce(std::uint32_t state);
    void expire();
    /// Moves the first queued packet's wire form into the send buffer when it
    /// is empty; signals `sendIdle` (under the queue lock) when nothing is
    /// left to send. True when bytes wait in the send buffer.
    bool prepareSend();
    /// Milliseconds until the next periodic duty (or the end of a back-off).
    std::uint32_t nextWait(bool sendPending) const;
    bool sendHeld(std::uint32_t now) const;

    const std::function<std::uint16_t()> announcedPort;
    platform::Guid id{};
    const std::string computerName;

    mutable std::mutex peersLock;
    PeerTable table;

    std::mutex sendQueueLock;
    std::deque<std::unique_ptr<IPacket>> sendQueue;  // guarded by sendQueueLock
    bool running = false;                            // guarded by sendQueueLock
    bool stopped = false;                            // stop() has run; owner's thread only
    platform::Event sendIdle;
    std::atomic<bool> stopRequested{false};
    bool restartRequested = false;  // agent's thread only
    platform::WakeupDescriptor wake;

    // The agent's thread only.
    std::array<std::uint8_t, 255> sendBuffer{};
    std::size_t sendFill = 0;
    std::optional<std::uint32_t> lastAnnounce;
    std::optional<std::uint32_t> lastExpiry;
    std::optional<std::uint32_t> heldSince;  // set by a failed send
    std::atomic<std::uint32_t> alive{1};
    std::atomic<std::uint32_t> failedSends{0};
    std::atomic<bool> sendsFailing{false};  // the last send failed
};

} // namespace discovery
