#include "platform/instanceguard.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::InstanceGuard;

namespace {

// Each test keeps its guards in a folder of its own.
class Guard : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("qv-guard-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const char *old = std::getenv("XDG_RUNTIME_DIR");
        saved = old ? old : "";
        hadOld = old != nullptr;
        ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    void TearDown() override
    {
        if (hadOld)
            ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(dir);
    }
    fs::path dir;
    std::string saved;
    bool hadOld = false;
};

} // namespace

TEST_F(Guard, OneHolderPerNameUntilReleased)
{
    InstanceGuard first, second, other;
    ASSERT_EQ(first.acquire("quorvel"), InstanceGuard::Result::Acquired);
    EXPECT_EQ(second.acquire("quorvel"), InstanceGuard::Result::AlreadyRunning);
    EXPECT_EQ(other.acquire("quorvel-copy"), InstanceGuard::Result::Acquired);
    first.release();
    EXPECT_EQ(second.acquire("quorvel"), InstanceGuard::Result::Acquired);
    EXPECT_EQ(InstanceGuard::lockFilePath("quorvel"), (dir / "quorvel.lock").string());
}

TEST_F(Guard, AKilledHolderLeavesNoStaleLock)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceGuard g;
        const char ok = g.acquire("quorvel") == InstanceGuard::Result::Acquired ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    InstanceGuard g;
    EXPECT_EQ(g.acquire("quorvel"), InstanceGuard::Result::AlreadyRunning);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(fs::exists(dir / "quorvel.lock"));
    EXPECT_EQ(g.acquire("quorvel"), InstanceGuard::Result::Acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(Guard, NoPlaceForTheLockIsAFailure)
{
    ::setenv("XDG_RUNTIME_DIR", (dir / "missing").c_str(), 1);
    InstanceGuard g;
    EXPECT_EQ(g.acquire("quorvel"), InstanceGuard::Result::Failed);
    EXPECT_FALSE(g.held());
    EXPECT_EQ(g.acquire(""), InstanceGuard::Result::Failed);
}
