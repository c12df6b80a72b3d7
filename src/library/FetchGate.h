#pragma once

#include <mutex>
#include <set>

namespace library {

/// The peer fetches under way, so that a quit need not wait for a peer that
/// never answers: each fetch holds a `Pass` for its socket while it talks to
/// the peer; `close` shuts every such socket down, which ends those fetches
/// at once (they fail), and refuses passes until `open`.
///
/// Threads: any, at once. The sockets stay owned by the fetches; a pass must
/// end before its socket is closed.
class FetchGate {
public:
    /// Entry of one socket; removes it again when it ends. False when the
    /// gate was closed (the fetch must give up).
    class Pass {
    public:
        Pass(FetchGate* gate, int socket);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const { return entered || !gate; }
        /// True once the gate has closed on this fetch (or was closed).
        bool cancelled() const;

    private:
        FetchGate* const gate;
        const int socket;
        bool entered = false;
    };

    /// Shuts down the sockets of the fetches under way and refuses new ones.
    void close();
    /// Lets fetches in again.
    void open();
    bool isClosed() const;

private:
    mutable std::mutex lock;
    std::set<int> sockets;
    bool closed = false;
};

} // namespace library
