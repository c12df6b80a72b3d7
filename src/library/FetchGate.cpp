#include "library/FetchGate.h"

#include "platform/Socket.h"

namespace library {

FetchGate::Pass::Pass(FetchGate* gate, int socket) : gate(gate), socket(socket)
{
    if (!gate)
        return;
    std::lock_guard guard(gate->lock);
    if (!gate->closed)
        entered = gate->sockets.insert(socket).second;
}

FetchGate::Pass::~Pass()
{
    if (!entered)
        return;
    std::lock_guard guard(gate->lock);
    gate->sockets.erase(socket);
}

bool FetchGate::Pass::cancelled() const
{
    return gate && gate->isClosed();
}

void FetchGate::close()
{
    std::lock_guard guard(lock);
    closed = true;
    // A receive waiting on a socket shut down returns at once with nothing.
    for (int socket : sockets)
        platform::shutdownBoth(socket);
}

void FetchGate::open()
{
    std::lock_guard guard(lock);
    closed = false;
}

bool FetchGate::isClosed() const
{
    std::lock_guard guard(lock);
    return closed;
}

} // namespace library
