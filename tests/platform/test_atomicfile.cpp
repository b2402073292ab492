#include "platform/atomicfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporary)
{
    fs::path dir = fs::temp_directory_path() / ("qv-atomic-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "first\r\n"));
    ASSERT_TRUE(platform::writeFileAtomically(path, std::string("x\0y", 3)));
    std::string back;
    ASSERT_TRUE(platform::readWholeFile(path, back));
    EXPECT_EQ(back, std::string("x\0y", 3));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

TEST(AtomicFile, FailedWriteKeepsPreviousFileWhole)
{
    fs::path dir = fs::temp_directory_path() / ("qv-atomic-full-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "old"));

    // A file-size limit makes the write fail part-way, as a full disk would (and unlike
    // folder permissions it also holds for root).
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = platform::writeFileAtomically(path, std::string(4096, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    std::string back;
    ASSERT_TRUE(platform::readWholeFile(path, back));
    EXPECT_EQ(back, "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "the temporary file must not be left behind";
    fs::remove_all(dir);
}

TEST(AtomicFile, ReadOnlyFileOrFolderAtThePathIsNotReplaced)
{
    fs::path dir = fs::temp_directory_path() / ("qv-atomic-readonly-" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    const std::string path = (dir / "a.txt").string();
    ASSERT_TRUE(platform::writeFileAtomically(path, "old"));
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(platform::writeFileAtomically(path, "new"));
    EXPECT_FALSE(platform::writeFileAtomically((dir / "sub").string(), "new"));
    std::string back;
    ASSERT_TRUE(platform::readWholeFile(path, back));
    EXPECT_EQ(back, "old");
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    fs::remove_all(dir);
}

TEST(AtomicFile, MissingFolderFails)
{
    EXPECT_FALSE(platform::writeFileAtomically("/nonexistent-qv-dir/x.txt", "a"));
    std::string b;
    EXPECT_FALSE(platform::readWholeFile("/nonexistent-qv-dir/x.txt", b));
}
