// Sends that do not wait: served in turn by the owning thread, woken only by
// the batch's flush, and each batch told to its sink once.
#include "platform/DeferredSend.h"
#include "platform/Event.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <poll.h>
#endif

#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

namespace {

constexpr UINT MSG_TIMES_TEN = WM_USER + 1;  // answers wParam * 10

LRESULT PLATFORM_CALLBACK timesTen(HWND, UINT message, WPARAM wParam, LPARAM)
{
    return message == MSG_TIMES_TEN ? static_cast<LRESULT>(wParam) * 10 : 0;
}

/// Writes down every call: "tag=result" per answer, "told" per delivery;
/// a call made on another thread than `owner` (when set) is marked "!".
class Trail final : public AnswerSink {
public:
    void answered(DeferredSend& send) override
    {
        note(std::to_string(send.tag()) + "=" + std::to_string(send.result()));
    }
    void answersDelivered() override
    {
        note("told");
        told.set();
    }
    std::vector<std::string> seen()
    {
        std::lock_guard guard(lock);
        return entries;
    }

    std::thread::id owner;
    Event told;

private:
    void note(std::string entry)
    {
        std::lock_guard guard(lock);
        entries.push_back(owner == std::thread::id() || owner == std::this_thread::get_id() ? entry : entry + "!");
    }
    std::mutex lock;
    std::vector<std::string> entries;
};

#ifndef _WIN32
bool readable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

#endif

} // namespace

#ifndef _WIN32
TEST(DeferredSend, TheOwnerIsWokenByTheFlushAndTellsTheWholeBatchOnce)
{
    // The owner's queue descriptor shows when it is woken: not by the sends,
    // only by the flush, and then once for all three.
    std::thread([] {
        auto trail = std::make_shared<Trail>();
        trail->owner = std::this_thread::get_id();
        HWND window = createWindow(timesTen);
        const int fd = messageQueueDescriptor();
        ASSERT_GE(fd, 0);
        Event sent, checked;
        std::thread sender([&] {
            SendBatch batch;
            std::vector<std::unique_ptr<DeferredSend>> sends;
            for (std::uint64_t tag = 1; tag <= 3; ++tag) {
                sends.push_back(std::make_unique<DeferredSend>(tag));
                EXPECT_TRUE(sendDeferred(*sends.back(), window, MSG_TIMES_TEN, tag, 0, trail, batch));
            }
            sent.set();
            checked.wait();
            batch.flush();
            EXPECT_TRUE(trail->told.waitFor(10s));  // the sends stay alive until answered
        });
        sent.wait();
        EXPECT_FALSE(readable(fd));
        checked.set();
        pollfd p{fd, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 10000), 1);
        EXPECT_EQ(pumpMessages(), std::nullopt);
        sender.join();
        EXPECT_EQ(trail->seen(), (std::vector<std::string>{"1=10", "2=20", "3=30", "told"}));
        destroyWindow(window);
    }).join();
}

#endif

TEST(DeferredSend, ServedInOrderOnTheOwnersThreadBeforeALaterPlainSend)
{
    // The owner serves sent messages while it waits; a plain send that comes
    // after deferred ones finds them answered, and the batch told once.
    auto trail = std::make_shared<Trail>();
    HWND window = nullptr;
    Event created, finished;
    std::thread owner([&] {
        trail->owner = std::this_thread::get_id();
        window = createWindow(timesTen);
        created.set();
        waitServingMessages(finished);
        destroyWindow(window);
    });
    created.wait();
    SendBatch batch;
    std::vector<std::unique_ptr<DeferredSend>> sends;
    for (std::uint64_t tag = 1; tag <= 3; ++tag) {
        sends.push_back(std::make_unique<DeferredSend>(tag));
        ASSERT_TRUE(sendDeferred(*sends.back(), window, MSG_TIMES_TEN, static_cast<WPARAM>(tag), 0, trail, batch));
    }
    EXPECT_EQ(sendMessage(window, MSG_TIMES_TEN, 4), 40);
    EXPECT_TRUE(trail->told.waitFor(10s));
    EXPECT_EQ(trail->seen(), (std::vector<std::string>{"1=10", "2=20", "3=30", "told"}));
    finished.set();
    owner.join();
}

TEST(DeferredSend, WithoutAServingOwnerAnswersAreZeroOrNeverPromised)
{
    // Sends queued to a thread that ends without serving them are answered 0
    // when it ends; a thread that has ended takes none.
    auto trail = std::make_shared<Trail>();
    HWND window = nullptr;
    Event created, release;
    std::thread owner([&] {
        window = createWindow(timesTen);
        created.set();
        release.wait();
    });
    created.wait();
    SendBatch batch;
    DeferredSend first(1), second(2);
    ASSERT_TRUE(sendDeferred(first, window, MSG_TIMES_TEN, 4, 0, trail, batch));
    ASSERT_TRUE(sendDeferred(second, window, MSG_TIMES_TEN, 5, 0, trail, batch));
    batch.flush();
    release.set();
    owner.join();
    EXPECT_EQ(trail->seen(), (std::vector<std::string>{"1=0", "2=0", "told"}));
    EXPECT_FALSE(sendDeferred(first, window, MSG_TIMES_TEN, 6, 0, trail, batch));
    destroyWindow(window);
    EXPECT_FALSE(sendDeferred(first, window, MSG_TIMES_TEN, 6, 0, trail, batch));
    EXPECT_EQ(trail->seen().size(), 3u);

    // On the owning thread itself the procedure runs at once.
    HWND mine = createWindow(timesTen);
    DeferredSend direct(7);
    ASSERT_TRUE(sendDeferred(direct, mine, MSG_TIMES_TEN, 7, 0, trail, batch));
    EXPECT_EQ(trail->seen(), (std::vector<std::string>{"1=0", "2=0", "told", "7=70", "told"}));
    destroyWindow(mine);
}
