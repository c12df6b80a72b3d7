#include "threading/Callback.h"
#include "threading/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using threading::Callback;
using threading::CallbackArgument;

namespace {

/// A body that waits until released, so tests control when it ends.
class Gate final : public threading::Thread {
public:
    platform::Event release;
    std::atomic<int> runs{0};
    std::atomic<std::uint32_t> idSeenInRun{0};

    bool stop() override { release.set(); return true; }
    int run() override
    {
        idSeenInRun = threadId();
        ++runs;
        release.wait();
        return 99;  // nobody reads it
    }
    void exitWith(CallbackArgument argument) { setExitArgument(argument); }
};

struct Observer {
    std::atomic<int> started{0};
    std::atomic<CallbackArgument> finishedWith{-1};
    std::atomic<int> finished{0};
    Callback<Observer> onStart{this, &Observer::started_};
    Callback<Observer> onFinish{this, &Observer::finished_};
    std::intptr_t started_(CallbackArgument argument)
    {
        EXPECT_EQ(argument, 0);
        ++started;
        return 0;
    }
    std::intptr_t finished_(CallbackArgument argument)
    {
        finishedWith = argument;
        ++finished;
        return 0;
    }
};

} // namespace

TEST(Thread, RunsBodyWithStartAndFinishNotifications)
{
    Gate gate;
    Observer observer;
    gate.onStarted.add(&observer.onStart);
    gate.onFinished.add(&observer.onFinish);
    gate.exitWith(1234);

    EXPECT_EQ(gate.threadId(), 0u);
    EXPECT_EQ(gate.threadHandle(), nullptr);
    ASSERT_TRUE(gate.start());
    EXPECT_NE(gate.threadId(), 0u);
    gate.startedEvent.wait();
    EXPECT_FALSE(gate.start()) << "start while running must refuse";

    auto handle = gate.threadHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(handle->waitFor(20ms));
    gate.stop();
    handle->wait();
    EXPECT_EQ(gate.threadId(), 0u);
    EXPECT_EQ(observer.started, 1);
    EXPECT_EQ(observer.finished, 1);
    EXPECT_EQ(observer.finishedWith, 1234);
    EXPECT_NE(gate.idSeenInRun, 0u);
}

TEST(Thread, RestartsAfterFinishingAndResetsStartedEventFirst)
{
    Gate gate;
    ASSERT_TRUE(gate.start());
    gate.startedEvent.wait();
    gate.stop();
    auto first = gate.threadHandle();
    first->wait();
    EXPECT_TRUE(gate.startedEvent.isSet());

    gate.release.reset();
    ASSERT_TRUE(gate.start());
    auto second = gate.threadHandle();
    EXPECT_NE(first, second);
    gate.startedEvent.wait();
    EXPECT_FALSE(second->isFinished());
    gate.stop();
    second->wait();
    EXPECT_EQ(gate.runs, 2);
}

TEST(Thread, OnFinishedMayDeleteTheThreadAndTheHandleStillSignals)
{
    struct Deleter {
        Callback<Deleter> callback{this, &Deleter::on};
        std::atomic<int> deleted{0};
        std::intptr_t on(CallbackArgument argument)
        {
            delete reinterpret_cast<Gate*>(argument);
            ++deleted;
            return 0;
        }
    } deleter;

    for (int i = 0; i < 50; ++i) {
        auto* gate = new Gate;
        gate->exitWith(reinterpret_cast<CallbackArgument>(gate));
        gate->onFinished.add(&deleter.callback);
        ASSERT_TRUE(gate->start());
        auto handle = gate->threadHandle();
        gate->release.set();  // from here the observer may delete it at any moment
        handle->wait();  // the Thread is gone; ASan sees any later touch
    }
    EXPECT_EQ(deleter.deleted, 50);
}

TEST(Thread, ObserversRunOnTheNewThread)
{
    struct Where {
        std::thread::id seen;
        Callback<Where> callback{this, &Where::on};
        std::intptr_t on(CallbackArgument) { seen = std::this_thread::get_id(); return 0; }
    } started, finished;
    Gate gate;
    gate.onStarted.add(&started.callback);
    gate.onFinished.add(&finished.callback);
    gate.release.set();
    ASSERT_TRUE(gate.start());
    gate.threadHandle()->wait();
    EXPECT_NE(started.seen, std::this_thread::get_id());
    EXPECT_EQ(started.seen, finished.seen);
}
