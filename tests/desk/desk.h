#pragma once
// Driving the real quorvel executable through a real X server, window manager and input:
// windows are found by title (xdotool), placed by what the window system says (xwininfo,
// the window manager's stacking list), operated with synthetic device input (xdotool,
// through the XTEST extension, so it takes the same road as a person's mouse and keyboard),
// and read back from the screen's pixels (grabbed with Qt), the clipboard, files and the
// simulated vendor.
//
// This process is itself a QGuiApplication on the xcb platform that never shows a window;
// run_desk.sh gives it a private Xvfb display with openbox. Every position here is in the
// screen's device pixels.
#include "platform/ui/dialogtemplate.h"

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace desk {

using WindowId = unsigned long;

// --- Waiting -------------------------------------------------------------------------------

// Polls `done` every 50 ms, handling this process's own events in between (the clipboard
// needs them), until it is true or `ms` milliseconds have passed. Returns its last answer.
bool waitUntil(const std::function<bool()> &done, int ms = 5000);

// --- Windows -------------------------------------------------------------------------------

// The mapped windows of process `pid` that the window manager manages (its top-level
// windows) whose title is exactly `title`; with an empty title, all of them.
std::vector<WindowId> findWindows(qint64 pid, const QString &title = {});
// Waits for one such window; 0 when none appeared in time.
WindowId waitForWindow(qint64 pid, const QString &title, int ms = 10000);
// Waits until no such window is mapped any more.
bool waitUntilGone(qint64 pid, const QString &title, int ms = 5000);
// A mapped window of `pid` that is none of `known`; 0 when none appeared in time.
WindowId waitForOtherWindow(qint64 pid, const std::vector<WindowId> &known, int ms = 10000);

// The window's client area on the screen (from xwininfo); empty when it cannot be read.
QRect clientRect(WindowId window);
// The window's area with the frame the window manager draws around it (its frame
// extents); the client area when they cannot be read.
QRect frameRect(WindowId window);
// The window manager's stacking order of its managed windows, bottom first.
std::vector<WindowId> stackingOrder();
// True when `upper` is stacked above `lower` in that order (both must be listed).
bool stackedAbove(WindowId upper, WindowId lower);
// Gives `window` the input focus through the window manager and waits for it.
void activate(WindowId window);

// --- Pixels --------------------------------------------------------------------------------

// The whole screen, or a part of it, as the X server shows it (RGB32).
QImage grabScreen();
QImage grab(const QRect &area);
// Writes `image` as <build>/desk-shots/<name>.png, prints the path and returns it.
std::string saveShot(const QImage &image, const std::string &name);

// --- Input ---------------------------------------------------------------------------------

void moveMouse(const QPoint &at);
void click(const QPoint &at, int button = 1);
void mouseDown(int button = 1);
void mouseUp(int button = 1);
// Types `text` as key strokes into whatever has the focus.
void typeText(const QString &text);
// Presses a key combination in xdotool's notation ("ctrl+a", "Return").
void key(const QString &combination);
// Drags with the left button: presses at `from`, moves in `steps` steps to `from` + `delta`
// and releases there.
void drag(const QPoint &from, const QPoint &delta, int steps = 5);

// A click at `at` that is on its way: the input tool runs while the caller goes on (to
// time what the click does). The destructor waits for the tool to end.
class PendingClick {
public:
    explicit PendingClick(const QPoint &at, int button = 1);
    ~PendingClick();
    PendingClick(const PendingClick &) = delete;
    PendingClick &operator=(const PendingClick &) = delete;

private:
    std::unique_ptr<QProcess> m_process;
};

// Clicks into the edit box at `at`, selects all of it (Ctrl+A), copies it (Ctrl+C) and
// returns the clipboard's text; null when nothing came within `ms`.
QString copyText(const QPoint &at, int ms = 3000);

// --- Controls ------------------------------------------------------------------------------

// The rectangle of control `controlId` of dialog template `templateId` in the dialog's
// client pixels, converted from dialog units with the template's font as the tool does it.
QRect controlRect(int templateId, int controlId);
// The centre of that control on the screen, for a dialog whose client area is `client`
// and whose program draws at `scale` device pixels per pixel.
QPoint controlCentre(int templateId, int controlId, const QRect &client, int scale = 1);
// True when the program's resources hold dialog template `templateId`.
bool hasTemplate(int templateId);

// --- The program ---------------------------------------------------------------------------

// The quorvel executable that Quorvel starts: the one built with the tests, unless another
// is named here (a benchmark compares builds).
void setExecutable(const std::string &path);

// One run of the quorvel executable: working directory `dir`, its own runtime folder for
// the instance guard, message boxes written to `dir`/messages.log, pointed at the vendor at
// 127.0.0.1:`port`. Extra environment variables come in `extra`. The destructor ends it
// (SIGTERM, as the operator's closing, then SIGKILL when it hangs).
class Quorvel {
public:
    Quorvel(const std::string &dir, uint16_t port, const QProcessEnvironment &extra = {});
    ~Quorvel();
    Quorvel(const Quorvel &) = delete;
    Quorvel &operator=(const Quorvel &) = delete;

    qint64 pid() const;
    bool running() const;
    // Its main window "Pelmora", waited for at start; 0 when it never appeared.
    WindowId mainWindow() const { return m_main; }
    // The lines written to the message log so far.
    std::vector<std::string> messages() const;
    // Waits for `line` to be written to the message log.
    bool waitForMessage(const std::string &line, int ms = 10000) const;
    // The lines of the message log that contain `part`.
    int countMessages(const std::string &part) const;
    // Asks it to end as the system does (SIGTERM) and waits up to `ms`: its exit status, or
    // -1 when it did not end normally in time (then it is killed).
    int terminate(int ms);

private:
    std::string m_dir;
    std::unique_ptr<QProcess> m_process;
    WindowId m_main = 0;
};

} // namespace desk
