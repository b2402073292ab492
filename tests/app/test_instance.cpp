// The single-instance guard and the end on a signal across real processes: the quorvel
// executable is started on the offscreen platform, with its message boxes written to a log
// instead of shown.
#include "support/testfolder.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Instances : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testfolder::fresh("qv-inst");
        testfolder::runtime(dir);
    }
    void TearDown() override
    {
        for (auto &p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        fs::remove_all(dir);
    }

    QProcess *start(const fs::path &exe, const std::string &logName, const fs::path &runtime = {},
                    const std::map<QString, QString> &extraEnv = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, value] : extraEnv)
            env.insert(name, value);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((runtime.empty() ? dir / "run" : runtime).string()));
        env.insert("QUORVEL_MESSAGEBOX_LOG", QString::fromStdString((dir / logName).string()));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(QString::fromStdString(dir.string()));
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QString::fromStdString(exe.string()), {});
        EXPECT_TRUE(p->waitForStarted(10000));
        processes.push_back(std::move(p));
        return processes.back().get();
    }

    // The holder of a guard writes its process id into the lock file.
    bool holdsGuard(QProcess *p, const std::string &name)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        const std::string want = std::to_string(p->processId()) + "\n";
        while (std::chrono::steady_clock::now() < until) {
            std::ifstream in(dir / "run" / (name + ".lock"));
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (text == want)
                return true;
            if (p->state() == QProcess::NotRunning)
                return false;
            QThread::msleep(20);
        }
        return false;
    }

    std::string log(const std::string &name)
    {
        std::ifstream in(dir / name);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    static int finish(QProcess *p)
    {
        EXPECT_TRUE(p->waitForFinished(20000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        return p->exitCode();
    }

    fs::path dir;
    std::vector<std::unique_ptr<QProcess>> processes;
    const fs::path exe = QUORVEL_EXE;
};

} // namespace

TEST_F(Instances, SecondStartIsRefusedUntilTheFirstHasEnded)
{
    QProcess *first = start(exe, "first.log");
    ASSERT_TRUE(holdsGuard(first, "quorvel"));

    QProcess *second = start(exe, "second.log");
    EXPECT_EQ(finish(second), 1);
    EXPECT_EQ(log("second.log"), "exclamation ok 多重起動はできません\n");
    EXPECT_EQ(first->state(), QProcess::Running);

    // An ordinary end (the window closes) frees the name for the next start.
    ::kill(pid_t(first->processId()), SIGTERM);
    EXPECT_EQ(finish(first), 0);
    EXPECT_EQ(log("first.log"), "");
    QProcess *third = start(exe, "third.log");
    EXPECT_TRUE(holdsGuard(third, "quorvel"));
}

TEST_F(Instances, ACopyUnderAnotherNameIsNotRefused)
{
    const fs::path copy = dir / "quorvel-second";
    fs::copy_file(exe, copy);
    QProcess *first = start(exe, "first.log");
    ASSERT_TRUE(holdsGuard(first, "quorvel"));
    QProcess *other = start(copy, "other.log");
    EXPECT_TRUE(holdsGuard(other, "quorvel-second"));
    EXPECT_EQ(log("other.log"), "");
}

TEST_F(Instances, AKilledInstanceDoesNotBlockTheNextStart)
{
    QProcess *first = start(exe, "first.log");
    ASSERT_TRUE(holdsGuard(first, "quorvel"));
    first->kill(); // SIGKILL: no clean-up of its own
    ASSERT_TRUE(first->waitForFinished(10000));
    QProcess *next = start(exe, "next.log");
    EXPECT_TRUE(holdsGuard(next, "quorvel"));
    EXPECT_EQ(log("next.log"), "");
}

TEST_F(Instances, AGuardThatCannotBeCreatedEndsTheStartWithOurMessage)
{
    // A runtime folder below a plain file can be neither used nor created, even by root.
    std::ofstream(dir / "plain-file") << "x";
    QProcess *p = start(exe, "fail.log", dir / "plain-file" / "run");
    EXPECT_EQ(finish(p), 1);
    EXPECT_EQ(log("fail.log"), "exclamation ok 多重起動の確認ができないため、起動を中止します。\n");
}

// While the window answers, each termination signal closes it and the program ends the
// ordinary way.
TEST_F(Instances, ATerminationSignalClosesTheWindowAndEndsNormally)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(sig));
        QProcess *p = start(exe, "idle.log");
        ASSERT_TRUE(holdsGuard(p, "quorvel"));
        QThread::msleep(300); // the main window is up and idle
        const auto sent = std::chrono::steady_clock::now();
        ::kill(pid_t(p->processId()), sig);
        EXPECT_EQ(finish(p), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
    }
    EXPECT_EQ(log("idle.log"), "");
}

// With the user-interface thread stuck, a signal still ends the program, within the grace
// period and with exit status 128 + the signal. The thread is held for real: the font set-up
// reads its configuration from a FIFO that the test opens but never writes to (as from a
// stalled network folder), while the main window is being built.
TEST_F(Instances, ATerminationSignalEndsTheProgramAlsoWhenTheWindowIsStuck)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(sig));
        const fs::path fifo = dir / ("fonts-" + std::to_string(sig) + ".conf");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        QProcess *p = start(exe, "stuck.log", {}, {{"FONTCONFIG_FILE", QString::fromStdString(fifo.string())}});

        // A writer's non-blocking open succeeds once the program has the FIFO open to read;
        // from then on its user-interface thread waits in read() for as long as we hold it.
        int writer = -1;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (writer < 0 && std::chrono::steady_clock::now() < until && p->state() != QProcess::NotRunning) {
            writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer < 0)
                QThread::msleep(20);
        }
        ASSERT_GE(writer, 0) << "the program never read its font configuration";
        QThread::msleep(300);
        ASSERT_EQ(p->state(), QProcess::Running);

        const auto sent = std::chrono::steady_clock::now();
        ::kill(pid_t(p->processId()), sig);
        const bool ended = p->waitForFinished(6000);
        const auto took = std::chrono::steady_clock::now() - sent;
        ::close(writer);
        ASSERT_TRUE(ended) << "still running after the signal";
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 128 + sig);
        EXPECT_LT(took, std::chrono::milliseconds(3000));
        EXPECT_GE(took, std::chrono::milliseconds(1500)); // the windows had their chance first
    }
    // The forced end left nothing that blocks the next start.
    QProcess *next = start(exe, "next.log");
    EXPECT_TRUE(holdsGuard(next, "quorvel"));
}
