// --help and --version of the real quorvel executable: answered on standard output with
// exit status 0 before the GUI starts, so they work where no display can be opened.
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    bool crashed = false;
    std::string out;
};

// Runs quorvel where the GUI cannot start: the X11 platform without a display.
Outcome runWithoutDisplay(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUORVEL_EXE), args);
    EXPECT_TRUE(p.waitForFinished(20000));
    return {p.exitCode(), p.exitStatus() == QProcess::CrashExit, p.readAllStandardOutput().toStdString()};
}

} // namespace

TEST(InformationOptions, HelpAndVersionNeedNoDisplay)
{
    struct Case {
        QStringList args;
        std::string startsWith;
    };
    const std::string version = "quorvel (Quorvel) " QUORVEL_PROJECT_VERSION "\n";
    const Case cases[] = {
        {{"--version"}, version},
        {{"--port", "9005", "--version"}, version},
        {{"--help"}, "Usage: quorvel "},
        {{"-h"}, "Usage: quorvel "},
        {{"--host=::1", "--help"}, "Usage: quorvel "},
    };
    for (const Case &c : cases) {
        const Outcome r = runWithoutDisplay(c.args);
        const std::string what = c.args.join(' ').toStdString();
        EXPECT_FALSE(r.crashed) << what;
        EXPECT_EQ(r.exitCode, 0) << what;
        EXPECT_EQ(r.out.substr(0, c.startsWith.size()), c.startsWith) << what;
    }
    EXPECT_NE(runWithoutDisplay({"--help"}).out.find("--version"), std::string::npos);
}

TEST(InformationOptions, AnOptionValueIsNotTakenForHelp)
{
    // "--help" here is the host name, so the GUI starts and fails for want of a display.
    const Outcome r = runWithoutDisplay({"--host", "--help"});
    EXPECT_TRUE(r.crashed || r.exitCode != 0);
    EXPECT_EQ(r.out, "");
}
