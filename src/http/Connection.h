#pragma once

#include <cstdint>

namespace http {

/// What the dispatcher serves: one client connection, driven in turns. The
/// dispatcher calls these on one thread at a time per connection (the thread
/// that has taken it), never two at once; a connection is owned by its
/// server's list, not by the dispatcher, and stays alive until its owner is
/// told it has ended.
class Connection {
public:
    /// Where serving a connection stopped.
    enum class Served {
        idle,     // every request that arrived is answered (or an answer that goes on waits for more)
        waiting,  // an answer waits for the player's thread (see `RequestThread::answerLater`)
        sending,  // an answer waits for room in the socket's buffer
        ended,    // the connection is to end
    };

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Serves the requests that have arrived or begun to arrive since input
    /// was last reported, until the socket is found empty or an answer has
    /// to wait.
    virtual Served serveAvailable() = 0;
    /// Once the answer it waited for (`waiting`) has come: finishes that
    /// request, then serves on as `serveAvailable` does.
    virtual Served resumeAnswer() = 0;
    /// Once the socket has room again: sends on what was left `sending`,
    /// then serves on as `serveAvailable` does.
    virtual Served resumeSending() = 0;
    /// Once woken (an answer that goes on has more): sends what is due,
    /// reading nothing; input that came meanwhile is reported on its own.
    virtual Served sendDue() = 0;
    /// From now on it waits for its next request; before it is first watched.
    virtual void markIdle() = 0;
    /// The socket to watch for input and room.
    virtual int descriptor() const = 0;

    /// The server's name for it, unique for the server's lifetime; also the
    /// tag of its answers from the player's thread. Set once by the server
    /// when it lists the connection, before anything else sees it.
    std::uint64_t serial() const { return serialNumber; }
    void assignSerial(std::uint64_t serial) { serialNumber = serial; }

protected:
    ~Connection() = default;

private:
    std::uint64_t serialNumber = 0;
};

} // namespace http
