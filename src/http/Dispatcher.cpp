#include "http/Dispatcher.h"

#include "http/Connection.h"
#include "platform/Socket.h"
#include "platform/ThreadPriority.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <system_error>

namespace http {

using namespace std::chrono_literals;

namespace {

constexpr std::uint64_t endingKey = 0;  // connection serials start at 1
constexpr std::uint64_t answersKey = ~std::uint64_t{0};
constexpr std::uint64_t wakesKey = answersKey - 1;  // no serial grows that far

} // namespace

Dispatcher::Dispatcher(ConnectionOwner& owner) : owner(owner)
{
    if (ending.isValid())
        ready.add(ending.descriptor(), endingKey, platform::ReadinessSet::Watch::level);
    if (answers->isValid())
        ready.add(answers->descriptor(), answersKey, platform::ReadinessSet::Watch::level);
    if (woken.isValid())
        ready.add(woken.descriptor(), wakesKey, platform::ReadinessSet::Watch::level);
}

Dispatcher::~Dispatcher()
{
    finish();
}

bool Dispatcher::start()
{
    if (!ready.isValid() || !ending.isValid() || !watchdog.isValid() || !answers->isValid() ||
        !woken.isValid())
        return false;
    std::lock_guard guard(lock);
    if (!workers.empty())
        return true;
    ending.reset();
    senderStops = false;
    const std::uint64_t turn = pollerTurn;
    if (!spawn([this, turn] { poll(turn); }))
        return false;
    startStandby();
    return true;
}

void Dispatcher::finish()
{
    ending.signal();
    {
        std::lock_guard guard(lock);
        senderStops = true;
    }
    wokenCame.notify_all();
    for (;;) {
        std::vector<std::thread> threads;
        {
            std::lock_guard guard(lock);
            for (auto& [id, thread] : workers)
                threads.push_back(std::move(thread));
            workers.clear();
            std::move(left.begin(), left.end(), std::back_inserter(threads));
            left.clear();
        }
        if (threads.empty())
            break;
        for (std::thread& thread : threads)
            if (thread.joinable())
                thread.join();
    }
    ending.reset();
    std::lock_guard guard(lock);
    pending.clear();  // no connection is left by now
    wokenTurns.clear();
    senderRuns = false;
    watched.clear();
    answers->take();
    woken.take();
    busySince = 0;
    watchdogArmed = false;
}

bool Dispatcher::sendForLater(platform::DeferredSend& send, const platform::Message& message)
{
    return platform::sendDeferred(send, message.hwnd, message.message, message.wParam, message.lParam, answers,
                                  sends);
}

void Dispatcher::wake(std::uint64_t serial)
{
    woken.arrive(serial);
}

bool Dispatcher::watch(Connection& connection)
{
    connection.markIdle();
    {
        std::lock_guard guard(lock);
        watched.emplace(connection.serial(), Watched{&connection});
    }
    if (ready.add(connection.descriptor(), connection.serial()))
        return true;
    std::lock_guard guard(lock);
    watched.erase(connection.serial());
    return false;
}

void Dispatcher::poll(std::uint64_t turn)
{
    std::array<std::uint64_t, 16> keys{};
    for (;;) {
        std::optional<Turn> next;
        bool takenOver = false;
        {
            std::lock_guard guard(lock);
            takenOver = pollerTurn != turn;
            if (!takenOver) {
                busySince = 0;
                if (!pending.empty()) {
                    next = pending.front();
                    pending.pop_front();
                    busySince = Clock::now().time_since_epoch().count();
                }
            }
        }
        if (takenOver) {
            // Another thread took over the polling meanwhile; the messages
            // this one sent last still wake the player's thread.
            sends.flush();
            return;
        }
        if (!next) {
            // Everything taken is served: the player's thread may answer
            // the messages of the whole batch now.
            sends.flush();
            const int count = ready.wait(keys);
            if (count < 0)
                return;
            bool ended = false;
            bool wokeSome = false;
            {
                std::lock_guard guard(lock);
                for (std::uint64_t key : std::span(keys).first(static_cast<std::size_t>(count))) {
                    if (key == endingKey)
                        ended = true;
                    else if (key == answersKey)
                        takeAnswers();
                    else if (key == wakesKey)
                        wokeSome = takeWoken() || wokeSome;
                    else
                        take(key);
                }
            }
            if (wokeSome)
                wokenCame.notify_one();
            if (ended)
                return;
            continue;
        }
        if (!watchdogArmed.exchange(true))
            watchdog.arm(handOver.load());
        serve(*next->watched, next->cause);
    }
}

bool Dispatcher::takeWoken()
{
    const std::size_t before = wokenTurns.size();
    for (std::uint64_t serial : woken.take())
        take(serial, wokenTurns, Turn::Cause::woken);
    if (wokenTurns.size() == before)
        return false;
    if (!senderRuns && !senderStops)
        senderRuns = spawn([this] { sendWoken(); });
    if (!senderRuns) {
        // No sender: the poller sends, as it serves any ready connection.
        std::move(wokenTurns.begin(), wokenTurns.end(), std::back_inserter(pending));
        wokenTurns.clear();
        return false;
    }
    return true;
}

void Dispatcher::sendWoken()
{
    platform::runInBackground();
    // The lock is shared with the poller, which may preempt this thread
    // while it holds it: taken once per batch, to hand out the turns and let
    // go of those done, rather than twice per listener.
    constexpr std::size_t batchSize = 64;
    std::vector<Watched*> batch, sent, again;
    for (;;) {
        {
            std::unique_lock guard(lock);
            for (Watched* state : sent) {
                if (state->arrivedMeanwhile) {
                    state->arrivedMeanwhile = false;
                    again.push_back(state);
                } else {
                    state->taken = false;
                }
            }
            sent.clear();
            if (again.empty())
                wokenCame.wait(guard, [&] { return senderStops || !wokenTurns.empty(); });
            if (senderStops)
                return;
            while (!wokenTurns.empty() && batch.size() < batchSize) {
                batch.push_back(wokenTurns.front().watched);
                wokenTurns.pop_front();
            }
        }
        // Input came while it was taken (its peer closed, say): served on.
        for (Watched* state : again)
            settle(*state, state->connection->serveAvailable());
        again.clear();
        for (Watched* state : batch) {
            const Connection::Served served = state->connection->sendDue();
            if (served == Connection::Served::idle)
                sent.push_back(state);
            else
                settle(*state, served);
            // A background thread, once picked, may keep its CPU for a whole
            // time slice (milliseconds) while a thread of normal priority
            // that became runnable meanwhile waits: a command's thread woken
            // during a fan-out waited that long. Offered between sends, the
            // CPU goes to any such thread at once; with none, this costs one
            // system call.
            std::this_thread::yield();
        }
        batch.clear();
    }
}

void Dispatcher::take(std::uint64_t key)
{
    take(key, pending, Turn::Cause::input);
}

void Dispatcher::take(std::uint64_t key, std::deque<Turn>& into, Turn::Cause cause)
{
    const bool room = (key & platform::ReadinessSet::writable) != 0;
    auto found = watched.find(key & ~platform::ReadinessSet::writable);
    if (found == watched.end())
        return;  // a connection that has ended since
    Watched& connection = found->second;
    if (room && connection.waitsForRoom) {
        // It stays taken. The report may stand for input too.
        connection.waitsForRoom = false;
        connection.arrivedMeanwhile = true;
        pending.push_back({&connection, Turn::Cause::room});
        return;
    }
    if (connection.taken) {
        connection.arrivedMeanwhile = true;
        return;
    }
    connection.taken = true;
    into.push_back({&connection, cause});
}

void Dispatcher::takeAnswers()
{
    for (std::uint64_t serial : answers->take()) {
        // A connection waiting for its answer stays taken, and listed.
        auto found = watched.find(serial);
        if (found != watched.end())
            pending.push_back({&found->second, Turn::Cause::answer});
    }
}

void Dispatcher::serve(Watched& state, Turn::Cause cause)
{
    Connection& connection = *state.connection;
    // Only the thread that has taken a connection ends it. Once let go, or
    // left waiting for an answer or for room, it may be taken, served and
    // ended by another thread at any moment: not touched after that.
    using Served = Connection::Served;
    Served served = cause == Turn::Cause::answer ? connection.resumeAnswer()
        : cause == Turn::Cause::room             ? connection.resumeSending()
        : cause == Turn::Cause::woken            ? connection.sendDue()
                                                 : connection.serveAvailable();
    // Done with waiting for room: its reports would only wake the poller.
    // (Left waiting for an answer, it is not touched again; its reports of
    // room are taken as input meanwhile.)
    if (cause == Turn::Cause::room && served == Served::idle)
        ready.watchWritable(connection.descriptor(), connection.serial(), false);
    settle(state, served);
}

void Dispatcher::settle(Watched& state, Connection::Served served)
{
    using Served = Connection::Served;
    for (;;) {
        // Left waiting for an answer, it may be resumed, served and ended by
        // another thread already (the batch its message went in may have
        // been flushed by a thread taking over the polling): neither it nor
        // `state` is touched again.
        if (served == Served::waiting)
            return;
        Connection& connection = *state.connection;
        if (served == Served::sending && waitForRoom(state))
            return;
        if (served == Served::ended || served == Served::sending)
            break;
        {
            std::lock_guard guard(lock);
            if (!state.arrivedMeanwhile) {
                state.taken = false;
                return;
            }
            state.arrivedMeanwhile = false;
        }
        served = connection.serveAvailable();
    }
    Connection& connection = *state.connection;
    {
        std::lock_guard guard(lock);
        watched.erase(connection.serial());  // `state` with it
    }
    ready.remove(connection.descriptor());
    owner.connectionEnded(connection);
}

bool Dispatcher::waitForRoom(Watched& state)
{
    // Under the lock that reports are taken under: the report of room (at
    // once when there is room already) finds it waiting.
    std::lock_guard guard(lock);
    state.waitsForRoom = ready.watchWritable(state.connection->descriptor(), state.connection->serial(), true);
    return state.waitsForRoom;
}

void Dispatcher::standBy()
{
    std::uint64_t turn = 0;
    auto sweepAt = Clock::now();
    for (;;) {
        // The watchdog wakes this thread often under load; the connection
        // list is gone through only when a sweep is due.
        auto now = Clock::now();
        if (now >= sweepAt)
            sweepAt = now + std::clamp(owner.endIdleConnections(), 1ms, 1000ms);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(sweepAt - now);
        const std::array<int, 2> waitOn{ending.descriptor(), watchdog.descriptor()};
        const int woken = platform::waitReadable(waitOn, wait);
        if (woken == 0 || woken == -2)
            return;
        if (woken == 1) {
            watchdog.consume();
            if (takeOverIfStuck(turn)) {
                poll(turn);
                return;
            }
        }
    }
}

bool Dispatcher::takeOverIfStuck(std::uint64_t& turn)
{
    std::lock_guard guard(lock);
    const Clock::rep since = busySince.load();
    if (since == 0) {
        watchdogArmed = false;
        // A serve that began just now may have found the watchdog still
        // armed and left it alone: armed again for that one.
        if (busySince.load() != 0 && !watchdogArmed.exchange(true))
            watchdog.arm(handOver.load());
        return false;
    }
    // The busy poller may have sent messages that are still to wake the
    // player's thread.
    sends.flush();
    const auto busyFor = std::chrono::duration_cast<std::chrono::microseconds>(
        Clock::now() - Clock::time_point(Clock::duration(since)));
    if (busyFor < handOver.load()) {
        watchdog.arm(handOver.load() - busyFor);
        return false;
    }
    turn = ++pollerTurn;
    busySince = 0;
    watchdogArmed = false;
    startStandby();
    return true;
}

void Dispatcher::startStandby()
{
    joinLeft();
    // Without a standby a stuck poller stays stuck until its connection is
    // done; the connections themselves are not lost.
    spawn([this] { standBy(); });
}

bool Dispatcher::spawn(std::function<void()> body)
{
    try {
        const std::uint64_t id = ++lastWorker;
        workers.emplace(id, std::thread([this, id, body = std::move(body)] {
            body();
            std::lock_guard leaving(lock);
            leave(id);
        }));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void Dispatcher::leave(std::uint64_t worker)
{
    auto found = workers.find(worker);
    if (found == workers.end())
        return;  // `finish` holds it already
    left.push_back(std::move(found->second));
    workers.erase(found);
}

void Dispatcher::joinLeft()
{
    // Each of them has done its last under `lock` and only returns now.
    for (std::thread& thread : left)
        thread.join();
    left.clear();
}

} // namespace http
