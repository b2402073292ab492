// quorvel: the desktop set-up tool.
#include "app/quorvelapp.h"
#include "platform/dialog.h"
#include "platform/fonts.h"
#include "platform/messagebox.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char b = 1;
    (void)!::write(g_signalPipe[1], &b, 1);
}

// SIGTERM, SIGINT and SIGHUP close the open windows from the top down, as the operator
// would, so that the program ends the ordinary way (guard released, exit status 0).
void closeWindowsOnTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char buf[16];
        (void)!::read(g_signalPipe[0], buf, sizeof buf);
        for (int guard = 0; guard < 32; ++guard) {
            QWidget *top = QApplication::activeModalWidget();
            if (!top || !top->isVisible())
                break;
            top->close();
            if (top->isVisible())
                break; // it refused to close
        }
        // The main window last (it is not modal).
        if (!QApplication::activeModalWidget())
            if (platform::Dialog *main = platform::Dialog::mainWindow())
                main->close();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

// --help and --version are answered before the GUI starts, so they work without a
// display (manual page generation, a shell over ssh). The value after --host or --port is
// skipped, as the command-line parser would take it as that value.
bool answerInformationOption(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--host" || a == "--port") {
            ++i;
        } else if (a == "--help" || a == "-h") {
            std::fputs(CQuorvelApp::Usage(), stdout);
            return true;
        } else if (a == "--version") {
            std::printf("quorvel (Quorvel) %s\n", QUORVEL_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (answerInformationOption(argc, argv))
        return 0;
    QApplication qa(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/quorvel.png")));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvel.quorvel"));
    platform::installFontSubstitutions();
    platform::installUiFont();
    platform::installMessageBoxServiceFromEnvironment();

    CQuorvelApp app;
    std::string message;
    switch (app.ParseCommandLine(QApplication::arguments(), message)) {
    case CQuorvelApp::ParseResult::Help:
        std::fputs(message.c_str(), stdout);
        return 0;
    case CQuorvelApp::ParseResult::Error:
        std::fputs(message.c_str(), stderr);
        return 2;
    case CQuorvelApp::ParseResult::Run:
        break;
    }
    closeWindowsOnTerminationSignals();
    app.InitInstance();
    return app.ExitInstance();
}
