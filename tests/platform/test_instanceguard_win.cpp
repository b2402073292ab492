// The instance guard on Windows: a named mutex, held until released or the holder ends.
#include "platform/instanceguard.h"

#include <gtest/gtest.h>

#include <string>

using platform::InstanceGuard;

TEST(Guard, OneHolderPerNameUntilReleased)
{
    InstanceGuard first, second, other;
    const std::string name = "quorvel-test-guard";
    ASSERT_EQ(first.acquire(name), InstanceGuard::Result::Acquired);
    EXPECT_TRUE(first.held());
    EXPECT_EQ(second.acquire(name), InstanceGuard::Result::AlreadyRunning);
    EXPECT_FALSE(second.held());
    EXPECT_EQ(other.acquire(name + "-copy"), InstanceGuard::Result::Acquired);
    first.release();
    EXPECT_EQ(second.acquire(name), InstanceGuard::Result::Acquired);
    EXPECT_EQ(first.acquire("a\\b"), InstanceGuard::Result::Failed);
    EXPECT_EQ(first.acquire(""), InstanceGuard::Result::Failed);
}
