// quorvel: the desktop set-up tool.
#include "app/quorvelapp.h"
#include "platform/ui/dialog.h"
#include "platform/fonts.h"
#include "platform/ui/messagebox.h"
#include "platform/termination.h"
#include "platform/translations.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

// Time the windows get to close after SIGTERM, SIGINT or SIGHUP before the process ends
// without them.
constexpr std::chrono::milliseconds kSignalGrace{2000};

// Closes the open windows from the top down, as the operator would, so that the program
// ends the ordinary way (guard released, exit status 0). A window that refuses to close
// stops it. While no window is open yet (the signal came during start-up), it tries again
// shortly; the grace period bounds the whole.
void closeWindowsTopDown()
{
    bool closed = false;
    for (int guard = 0; guard < 32; ++guard) {
        QWidget *top = QApplication::activeModalWidget();
        if (!top || !top->isVisible())
            break;
        top->close();
        if (top->isVisible())
            return; // it refused to close
        closed = true;
    }
    // The main window last (it is not modal).
    if (!QApplication::activeModalWidget()) {
        if (platform::Dialog *main = platform::Dialog::mainWindow(); main && main->isVisible()) {
            main->close();
            closed = true;
        }
    }
    if (!closed)
        QTimer::singleShot(50, qApp, closeWindowsTopDown);
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

// Everything between the start and the end of the Qt application.
int run(int argc, char **argv)
{
    QApplication qa(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/quorvel.png")));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvel.quorvel"));
    platform::installQtTranslations();
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
    platform::setTerminationRequest(&qa, closeWindowsTopDown);
    app.InitInstance();
    const int status = app.ExitInstance();
    platform::setTerminationRequest(nullptr, nullptr);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (answerInformationOption(argc, argv))
        return 0;
    // Before the application object exists, so that no thread of Qt's takes the signals.
    platform::startTerminationWatch(kSignalGrace);
    const int status = run(argc, argv);
    platform::terminationWatchFinished();
    return status;
}
