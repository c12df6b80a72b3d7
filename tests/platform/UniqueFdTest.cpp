#include "platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {
bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }
}

TEST(UniqueFd, ClosesExactlyOnceWhateverTheOwnershipPath)
{
    int raw = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(raw, 0);
    {
        platform::UniqueFd first(raw);
        platform::UniqueFd second(std::move(first));
        EXPECT_FALSE(first.isValid());
        EXPECT_EQ(second.get(), raw);
        platform::UniqueFd third;
        third = std::move(second);
        EXPECT_TRUE(isOpen(raw));
    }
    EXPECT_FALSE(isOpen(raw));

    int kept = ::open("/dev/null", O_RDONLY);
    {
        platform::UniqueFd owner(kept);
        EXPECT_EQ(owner.release(), kept);
    }
    EXPECT_TRUE(isOpen(kept));
    platform::UniqueFd again(kept);
    again.reset();
    EXPECT_FALSE(isOpen(kept));
}
