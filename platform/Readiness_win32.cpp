// The readiness set on Windows: WSAPoll over the watched sockets and a wake-up
// socket of the waiting thread's own, which ends its wait whenever the set
// changes. Arrivals are reported once, then not again until the socket is
// read from (see win32/Rearm.h); levels are reported while they last. The
// timer is a wake-up socket that a thread of its own signals at the expiry.
//
// A socket is closed by its owner once it is removed, and the close may come
// from any thread while another waits. A WSAPoll that is handed a socket
// closed just before it (Wine's fails the whole wait then) or a handle that
// has meanwhile been given to another object reports nothing sound, so a
// removal waits until no thread polls the socket any more: it wakes the
// threads that do, and their next round leaves it out.
#include "platform/Readiness.h"

#include "platform/WakeupDescriptor.h"
#include "platform/win32/Rearm.h"
#include "platform/win32/Winsock.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace platform {

struct ReadinessSet::State {
    struct Watched {
        std::uint64_t key = 0;
        Watch watch = Watch::arrivals;
        bool wantWrite = false;
        bool inputArmed = true;
        bool writeArmed = true;
    };
    /// A thread's turn in `wait`: its wake-up, and the watched sockets its
    /// WSAPoll is handed (in ascending order; none between polls).
    struct Waiter {
        WakeupDescriptor changed;
        std::vector<int> polled;
        bool busy = false;
    };
    std::mutex lock;
    std::map<int, Watched> watched;  // under `lock`
    std::list<Waiter> waiters;       // under `lock`; the first made with the set
    std::condition_variable pollEnded;

    /// Ends the waits in progress, so that they look at the set again.
    /// Under `lock`.
    void wakeWaiters()
    {
        for (Waiter& waiter : waiters)
            if (waiter.busy)
                waiter.changed.signal();
    }

    bool polledByAny(int descriptor) const
    {
        return std::any_of(waiters.begin(), waiters.end(), [descriptor](const Waiter& waiter) {
            return std::binary_search(waiter.polled.begin(), waiter.polled.end(), descriptor);
        });
    }
};

namespace {

/// Every live set, for the re-arming calls of the socket functions.
struct Registry {
    std::mutex lock;
    std::set<ReadinessSet::State*> sets;
};

Registry& registry()
{
    static Registry sets;
    return sets;
}

template <typename Change>
void rearm(int socket, Change change)
{
    Registry& all = registry();
    const std::lock_guard<std::mutex> guard(all.lock);
    for (ReadinessSet::State* state : all.sets) {
        const std::lock_guard<std::mutex> own(state->lock);
        const auto found = state->watched.find(socket);
        if (found != state->watched.end() && change(found->second))
            state->wakeWaiters();
    }
}

/// A waiter of `state` marked busy for the length of one `wait`.
class WaiterTurn {
public:
    explicit WaiterTurn(ReadinessSet::State& state) : state(state)
    {
        const std::lock_guard<std::mutex> guard(state.lock);
        auto free = std::find_if(state.waiters.begin(), state.waiters.end(),
                                 [](const ReadinessSet::State::Waiter& waiter) { return !waiter.busy; });
        if (free == state.waiters.end())
            free = state.waiters.emplace(state.waiters.end());
        own = &*free;
        own->busy = true;
    }
    ~WaiterTurn()
    {
        const std::lock_guard<std::mutex> guard(state.lock);
        own->busy = false;
    }
    WaiterTurn(const WaiterTurn&) = delete;
    WaiterTurn& operator=(const WaiterTurn&) = delete;

    ReadinessSet::State::Waiter& waiter() const { return *own; }

private:
    ReadinessSet::State& state;
    ReadinessSet::State::Waiter* own = nullptr;
};

} // namespace

void win32::rearmAfterReceive(int socket)
{
    rearm(socket, [](ReadinessSet::State::Watched& entry) { return !std::exchange(entry.inputArmed, true); });
}

void win32::rearmAfterSend(int socket)
{
    rearm(socket, [](ReadinessSet::State::Watched& entry) {
        return entry.wantWrite && !std::exchange(entry.writeArmed, true);
    });
}

ReadinessSet::ReadinessSet() : state(std::make_unique<State>())
{
    state->waiters.emplace_back();
    Registry& all = registry();
    const std::lock_guard<std::mutex> guard(all.lock);
    all.sets.insert(state.get());
}

ReadinessSet::~ReadinessSet()
{
    Registry& all = registry();
    const std::lock_guard<std::mutex> guard(all.lock);
    all.sets.erase(state.get());
}

bool ReadinessSet::isValid() const
{
    return state->waiters.front().changed.isValid();
}

bool ReadinessSet::add(int descriptor, std::uint64_t key, Watch watch)
{
    const std::lock_guard<std::mutex> guard(state->lock);
    if (!state->watched.emplace(descriptor, State::Watched{key, watch}).second)
        return false;
    state->wakeWaiters();
    return true;
}

bool ReadinessSet::watchWritable(int descriptor, std::uint64_t key, bool on)
{
    const std::lock_guard<std::mutex> guard(state->lock);
    const auto found = state->watched.find(descriptor);
    if (found == state->watched.end())
        return false;
    found->second.key = key;
    found->second.wantWrite = on;
    found->second.writeArmed = true;
    state->wakeWaiters();
    return true;
}

void ReadinessSet::remove(int descriptor)
{
    std::unique_lock<std::mutex> held(state->lock);
    state->watched.erase(descriptor);
    for (State::Waiter& waiter : state->waiters)
        if (std::binary_search(waiter.polled.begin(), waiter.polled.end(), descriptor))
            waiter.changed.signal();
    state->pollEnded.wait(held, [&] { return !state->polledByAny(descriptor); });
}

int ReadinessSet::wait(std::span<std::uint64_t> keys, bool block)
{
    const std::size_t room = std::min<std::size_t>(keys.size(), 64);
    const WaiterTurn turn(*state);
    State::Waiter& self = turn.waiter();
    if (!self.changed.isValid())
        return -1;
    std::vector<WSAPOLLFD> entries;
    for (;;) {
        entries.clear();
        entries.push_back({win32::socketOf(self.changed.descriptor()), POLLRDNORM, 0});
        {
            const std::lock_guard<std::mutex> guard(state->lock);
            for (const auto& [descriptor, entry] : state->watched) {
                short events = 0;
                if (entry.watch == Watch::level || entry.inputArmed)
                    events |= POLLRDNORM;
                if (entry.wantWrite && entry.writeArmed)
                    events |= POLLWRNORM;
                if (events == 0)
                    continue;
                entries.push_back({win32::socketOf(descriptor), events, 0});
                self.polled.push_back(descriptor);  // in ascending order, as the map is
            }
        }
        const int polled = ::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), block ? -1 : 0);
        // From here on a removed socket is not looked at: its handle may be
        // closed and given to another socket at once.
        const std::lock_guard<std::mutex> guard(state->lock);
        const std::vector<int> descriptors = std::exchange(self.polled, {});
        state->pollEnded.notify_all();
        if (polled < 0)
            return -1;
        if (entries[0].revents)
            self.changed.reset();
        int count = 0;
        for (std::size_t i = 1; i < entries.size() && static_cast<std::size_t>(count) < room; ++i) {
            const short seen = entries[i].revents;
            const auto found = state->watched.find(descriptors[i - 1]);
            if (seen == 0 || found == state->watched.end())
                continue;
            State::Watched& entry = found->second;
            const bool ended = (seen & (POLLERR | POLLHUP | POLLNVAL)) != 0;
            // A hang-up or failure ends a wait for room too (it ends every
            // send); whoever is not waiting for room takes it as input.
            const bool input = (entries[i].events & POLLRDNORM) && ((seen & POLLRDNORM) || ended);
            const bool canSend = (entries[i].events & POLLWRNORM) && ((seen & POLLWRNORM) || ended);
            if (!input && !canSend)
                continue;
            if (input && entry.watch == Watch::arrivals)
                entry.inputArmed = false;
            if (canSend)
                entry.writeArmed = false;
            keys[static_cast<std::size_t>(count++)] = entry.key | (canSend ? writable : 0);
        }
        if (count > 0 || !block)
            return count;
    }
}

struct OneShotTimer::State {
    WakeupDescriptor expired;
    std::mutex lock;
    std::condition_variable changed;
    std::optional<std::chrono::steady_clock::time_point> deadline;  // under `lock`
    bool ending = false;                                           // under `lock`
    std::thread waiter;

    void run()
    {
        std::unique_lock<std::mutex> held(lock);
        while (!ending) {
            if (!deadline) {
                changed.wait(held);
            } else if (changed.wait_until(held, *deadline) == std::cv_status::timeout &&
                       deadline && std::chrono::steady_clock::now() >= *deadline) {
                deadline.reset();
                expired.signal();
            }
        }
    }
};

OneShotTimer::OneShotTimer() : state(std::make_unique<State>())
{
    state->waiter = std::thread([raw = state.get()] { raw->run(); });
}

OneShotTimer::~OneShotTimer()
{
    {
        const std::lock_guard<std::mutex> guard(state->lock);
        state->ending = true;
    }
    state->changed.notify_one();
    state->waiter.join();
}

bool OneShotTimer::isValid() const
{
    return state->expired.isValid();
}

int OneShotTimer::descriptor() const
{
    return state->expired.descriptor();
}

void OneShotTimer::arm(std::chrono::microseconds after)
{
    {
        const std::lock_guard<std::mutex> guard(state->lock);
        state->deadline = std::chrono::steady_clock::now() + std::max(after, std::chrono::microseconds(1));
        state->expired.reset();
    }
    state->changed.notify_one();
}

void OneShotTimer::consume()
{
    state->expired.reset();
}

} // namespace platform
