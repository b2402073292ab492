#pragma once
// Folders for GoogleTest tests: a fresh one named after the running test, and a private
// runtime folder inside it for instance guards; running a piece of work as an ordinary
// user or under a file-size limit (a full disk), so that failed writes can be provoked
// whether the tests run as root or not. Only the fresh folder exists on Windows.
#include "support/testsys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <functional>
#include <grp.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testfolder {

inline std::filesystem::path fresh(const std::string &prefix)
{
    const auto dir = std::filesystem::temp_directory_path() /
        (prefix + "-" + testsys::processId() + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

#ifndef _WIN32
inline std::filesystem::path runtime(const std::filesystem::path &dir)
{
    const auto run = dir / "run";
    std::filesystem::create_directories(run);
    ::chmod(run.c_str(), 0700);
    return run;
}

inline constexpr uid_t kNobody = 65534;

inline bool asRoot()
{
    return ::geteuid() == 0;
}

// Runs `work` as an ordinary user and returns its result: directly when the tests run as
// one, and in a child process that has given up root for the user "nobody" when they run as
// root (who would pass every permission check). Nothing when the child could not drop root.
inline std::optional<bool> asOrdinaryUser(const std::function<bool()> &work)
{
    if (!asRoot())
        return work();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 2)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

// Makes `path` belong to the user asOrdinaryUser() runs as.
inline void giveToOrdinaryUser(const std::filesystem::path &path)
{
    if (asRoot()) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
}

// Runs `work` while no file may grow beyond `bytes`, as on a full disk (a write past it
// fails instead of raising SIGXFSZ).
inline bool withFileSizeLimit(rlim_t bytes, const std::function<bool()> &work)
{
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    const bool limited = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    EXPECT_TRUE(limited);
    const bool result = work();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    return result;
}

#endif

} // namespace testfolder
