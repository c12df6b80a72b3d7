#include "threading/Callback.h"
#include "threading/Delegate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using threading::Callback;
using threading::CallbackArgument;
using threading::Delegate;

namespace {

struct Recorder {
    std::vector<CallbackArgument> seen;
    Delegate* removeFrom = nullptr;
    Callback<Recorder> callback{this, &Recorder::onEvent};

    std::intptr_t onEvent(CallbackArgument argument)
    {
        seen.push_back(argument);
        if (removeFrom)
            removeFrom->remove(&callback);
        return 7;
    }
};

} // namespace

TEST(Callback, PassesArgumentAndResultThrough)
{
    Recorder r;
    EXPECT_EQ(r.callback.invoke(42), 7);
    EXPECT_EQ(r.seen, std::vector<CallbackArgument>{42});
}

TEST(Delegate, CallsInInsertionOrderWithDuplicatesAndRemovesFirstCopy)
{
    std::vector<int> order;
    struct Tagged {
        std::vector<int>* order;
        int tag;
        Callback<Tagged> callback{this, &Tagged::on};
        std::intptr_t on(CallbackArgument) { order->push_back(tag); return 0; }
    } a{&order, 1}, b{&order, 2};

    Delegate d;
    d.add(&a.callback);
    d.add(&b.callback);
    d.add(&a.callback);
    EXPECT_EQ(d.invoke(0), 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 1}));

    order.clear();
    d.remove(&a.callback);  // the first copy goes, the order of the rest stays
    d.invoke(0);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));

    d.remove(&a.callback);
    d.remove(&a.callback);  // absent: nothing happens
    order.clear();
    d.invoke(0);
    EXPECT_EQ(order, std::vector<int>{2});

    d.clear();
    order.clear();
    d.invoke(0);
    EXPECT_TRUE(order.empty());
}

TEST(Delegate, SelfRemovalDuringInvokeTakesEffectFromTheNextInvoke)
{
    Delegate d;
    Recorder self, other;
    self.removeFrom = &d;
    d.add(&self.callback);
    d.add(&other.callback);
    d.invoke(1);
    d.invoke(2);
    EXPECT_EQ(self.seen, std::vector<CallbackArgument>{1});
    EXPECT_EQ(other.seen, (std::vector<CallbackArgument>{1, 2}));
}

TEST(Delegate, ObserverMayDestroyTheDelegatesOwner)
{
    struct Owner {
        Delegate delegate;
    };
    auto* owner = new Owner;
    struct Destroyer {
        Owner** owner;
        int calls = 0;
        Callback<Destroyer> callback{this, &Destroyer::on};
        std::intptr_t on(CallbackArgument)
        {
            ++calls;
            delete *owner;
            *owner = nullptr;
            return 0;
        }
    } destroyer{&owner};
    Recorder after;
    owner->delegate.add(&destroyer.callback);
    owner->delegate.add(&after.callback);
    owner->delegate.invoke(5);  // must not touch the deleted delegate (ASan)
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(destroyer.calls, 1);
    EXPECT_EQ(after.seen, std::vector<CallbackArgument>{5});
}

TEST(Delegate, ConcurrentAddRemoveAndInvokeAreSafe)
{
    Delegate d;
    struct Counter {
        std::atomic<int> calls{0};
        Callback<Counter> callback{this, &Counter::on};
        std::intptr_t on(CallbackArgument) { ++calls; return 0; }
    };
    std::vector<Counter> counters(8);
    std::atomic<bool> done{false};
    std::thread invoker([&] {
        while (!done)
            d.invoke(0);
    });
    std::vector<std::thread> mutators;
    for (int t = 0; t < 4; ++t)
        mutators.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                auto* cb = &counters[(t * 2 + i) % counters.size()].callback;
                d.add(cb);
                d.remove(cb);
            }
        });
    for (auto& m : mutators)
        m.join();
    done = true;
    invoker.join();
    EXPECT_EQ(d.size(), 0u);  // every add was matched by a remove
}
