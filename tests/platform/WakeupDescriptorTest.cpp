#include "platform/Socket.h"
#include "platform/WakeupDescriptor.h"

#include <gtest/gtest.h>

#include <thread>

TEST(WakeupDescriptor, WakesAPollFromAnotherThreadAndStaysSetUntilReset)
{
    platform::WakeupDescriptor wake;
    ASSERT_TRUE(wake.isValid());
    EXPECT_FALSE(wake.isSignalled());

    std::thread signaller([&] { wake.signal(); });
    const int watched[] = {wake.descriptor()};
    EXPECT_EQ(platform::waitReadable(watched, std::chrono::seconds(5)), 0);
    signaller.join();

    wake.signal();  // twice is still one signalled state
    EXPECT_TRUE(wake.isSignalled());
    EXPECT_TRUE(wake.isSignalled());
    wake.reset();
    EXPECT_FALSE(wake.isSignalled());
    wake.reset();  // resetting a clear descriptor is harmless
    EXPECT_FALSE(wake.isSignalled());
}
