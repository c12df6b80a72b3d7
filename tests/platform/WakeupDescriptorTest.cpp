#include "platform/WakeupDescriptor.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <thread>

TEST(WakeupDescriptor, WakesAPollFromAnotherThreadAndStaysSetUntilReset)
{
    platform::WakeupDescriptor wake;
    ASSERT_TRUE(wake.isValid());
    EXPECT_FALSE(wake.isSignalled());

    std::thread signaller([&] { wake.signal(); });
    pollfd p{wake.descriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 5000), 1);
    signaller.join();

    wake.signal();  // twice is still one signalled state
    EXPECT_TRUE(wake.isSignalled());
    EXPECT_TRUE(wake.isSignalled());
    wake.reset();
    EXPECT_FALSE(wake.isSignalled());
    wake.reset();  // resetting a clear descriptor is harmless
    EXPECT_FALSE(wake.isSignalled());
}
