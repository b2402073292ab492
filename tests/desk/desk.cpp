#include "desk.h"

#include <cstdlib>

#include "platform/ui/dialog.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace desk {

namespace {

// Runs a helper program to its end and returns its standard output (empty on failure).
QString run(const QString &program, const QStringList &args, int ms = 10000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    if (!p.waitForStarted(ms)) {
        std::fprintf(stderr, "desk: cannot start %s\n", qPrintable(program));
        return {};
    }
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished(1000);
        std::fprintf(stderr, "desk: %s %s did not finish\n", qPrintable(program), qPrintable(args.join(' ')));
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

void xdotool(const QStringList &args)
{
    run(QStringLiteral("xdotool"), args);
}

std::vector<WindowId> parseIds(const QString &text)
{
    std::vector<WindowId> ids;
    static const QRegularExpression number(QStringLiteral("0x[0-9a-fA-F]+|\\d+"));
    for (auto it = number.globalMatch(text); it.hasNext();) {
        const QString s = it.next().captured();
        bool ok = false;
        const WindowId id = s.startsWith(QLatin1String("0x")) ? s.mid(2).toULong(&ok, 16) : s.toULong(&ok, 10);
        if (ok && id != 0)
            ids.push_back(id);
    }
    return ids;
}

const platform::DialogTemplate *loadedTemplate(int id, platform::DialogUnits *units = nullptr)
{
    struct Loaded {
        platform::DialogTemplate tpl;
        platform::DialogUnits units;
        bool ok = false;
    };
    static std::map<int, Loaded> cache;
    auto it = cache.find(id);
    if (it == cache.end()) {
        Loaded l;
        l.ok = platform::loadDialogTemplate(id, l.tpl);
        if (l.ok)
            l.units = platform::dialogBaseUnits(platform::dialogFont(l.tpl.fontFace, l.tpl.fontPoints));
        it = cache.emplace(id, std::move(l)).first;
    }
    if (!it->second.ok)
        return nullptr;
    if (units)
        *units = it->second.units;
    return &it->second.tpl;
}

} // namespace

bool waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (done())
            return true;
        if (timer.elapsed() >= ms)
            return false;
        QThread::msleep(50);
    }
}

std::vector<WindowId> findWindows(qint64 pid, const QString &title)
{
    QStringList args{QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--pid"), QString::number(pid)};
    args << QStringLiteral("--name")
         << (title.isEmpty() ? QStringLiteral(".*")
                             : QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$'));
    // Qt's native child windows carry the process id too; only the windows the window
    // manager manages are the program's windows.
    const std::vector<WindowId> managed = stackingOrder();
    std::vector<WindowId> ids;
    for (WindowId id : parseIds(run(QStringLiteral("xdotool"), args)))
        if (std::find(managed.begin(), managed.end(), id) != managed.end())
            ids.push_back(id);
    return ids;
}

WindowId waitForWindow(qint64 pid, const QString &title, int ms)
{
    WindowId found = 0;
    waitUntil(
        [&] {
            const auto ids = findWindows(pid, title);
            // A window is usable once the window manager has placed it.
            for (WindowId id : ids)
                if (clientRect(id).isValid()) {
                    found = id;
                    return true;
                }
            return false;
        },
        ms);
    return found;
}

bool waitUntilGone(qint64 pid, const QString &title, int ms)
{
    return waitUntil([&] { return findWindows(pid, title).empty(); }, ms);
}

WindowId waitForOtherWindow(qint64 pid, const std::vector<WindowId> &known, int ms)
{
    WindowId found = 0;
    waitUntil(
        [&] {
            for (WindowId id : findWindows(pid))
                if (std::find(known.begin(), known.end(), id) == known.end() && clientRect(id).isValid()) {
                    found = id;
                    return true;
                }
            return false;
        },
        ms);
    return found;
}

QRect clientRect(WindowId window)
{
    const QString text = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    auto value = [&](const char *label) {
        const QRegularExpression re(QRegularExpression::escape(QLatin1String(label)) + QStringLiteral(":\\s*(-?\\d+)"));
        const auto m = re.match(text);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    if (!text.contains(QLatin1String("IsViewable")))
        return {};
    const int x = value("Absolute upper-left X"), y = value("Absolute upper-left Y");
    const int w = value("Width"), h = value("Height");
    if (w <= 0 || h <= 0)
        return {};
    return {x, y, w, h};
}

QRect frameRect(WindowId window)
{
    const QRect client = clientRect(window);
    const QString text = run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window),
                                                       QStringLiteral("_NET_FRAME_EXTENTS")});
    const int eq = text.indexOf(QLatin1Char('='));
    const QStringList parts = eq < 0 ? QStringList() : text.mid(eq + 1).split(QLatin1Char(','));
    if (!client.isValid() || parts.size() != 4)
        return client;
    // left, right, top, bottom
    return client.adjusted(-parts[0].trimmed().toInt(), -parts[2].trimmed().toInt(), parts[1].trimmed().toInt(),
                           parts[3].trimmed().toInt());
}

std::vector<WindowId> stackingOrder()
{
    const QString text = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    const int hash = text.indexOf(QLatin1Char('#'));
    return hash < 0 ? std::vector<WindowId>{} : parseIds(text.mid(hash + 1));
}

bool stackedAbove(WindowId upper, WindowId lower)
{
    const auto order = stackingOrder();
    const auto u = std::find(order.begin(), order.end(), upper);
    const auto l = std::find(order.begin(), order.end(), lower);
    return u != order.end() && l != order.end() && u > l;
}

void activate(WindowId window)
{
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
    waitUntil([&] {
        return parseIds(run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")})) == std::vector<WindowId>{window};
    }, 3000);
}

QImage grabScreen()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage grab(const QRect &area)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

std::string saveShot(const QImage &image, const std::string &name)
{
    const std::string dir = DESK_SHOTS_DIR;
    QDir().mkpath(QString::fromStdString(dir));
    const std::string path = dir + "/" + name + ".png";
    if (image.save(QString::fromStdString(path), "PNG"))
        std::printf("desk: screenshot %s\n", path.c_str());
    else
        std::printf("desk: could not write the screenshot %s\n", path.c_str());
    std::fflush(stdout);
    return path;
}

void moveMouse(const QPoint &at)
{
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
}

void click(const QPoint &at, int button)
{
    moveMouse(at);
    xdotool({QStringLiteral("click"), QString::number(button)});
}

void mouseDown(int button)
{
    xdotool({QStringLiteral("mousedown"), QString::number(button)});
}

void mouseUp(int button)
{
    xdotool({QStringLiteral("mouseup"), QString::number(button)});
}

void typeText(const QString &text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

void key(const QString &combination)
{
    xdotool({QStringLiteral("key"), combination});
}

void drag(const QPoint &from, const QPoint &delta, int steps)
{
    moveMouse(from);
    mouseDown(1);
    for (int i = 1; i <= steps; ++i)
        moveMouse(from + QPoint(delta.x() * i / steps, delta.y() * i / steps));
    mouseUp(1);
}

PendingClick::PendingClick(const QPoint &at, int button) : m_process(std::make_unique<QProcess>())
{
    m_process->start(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()),
                                                 QString::number(at.y()), QStringLiteral("click"),
                                                 QString::number(button)});
}

PendingClick::~PendingClick()
{
    if (!m_process->waitForFinished(10000)) {
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}

QString copyText(const QPoint &at, int ms)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QString sentinel = QStringLiteral("desk-clipboard-sentinel");
    clipboard->setText(sentinel);
    waitUntil([&] { return clipboard->text() == sentinel; }, 1000);
    click(at);
    key(QStringLiteral("ctrl+a"));
    key(QStringLiteral("ctrl+c"));
    QString text;
    if (!waitUntil([&] {
            text = clipboard->text();
            return text != sentinel;
        }, ms))
        return {};
    return text;
}

QRect controlRect(int templateId, int controlId)
{
    platform::DialogUnits units;
    const platform::DialogTemplate *tpl = loadedTemplate(templateId, &units);
    const platform::ControlTemplate *c = tpl ? tpl->control(controlId) : nullptr;
    return c ? units.rect(c->rect) : QRect();
}

QPoint controlCentre(int templateId, int controlId, const QRect &client, int scale)
{
    const QRect r = controlRect(templateId, controlId);
    if (!r.isValid())
        std::fprintf(stderr, "desk: no control %d in template %d\n", controlId, templateId);
    // The centre in the program's pixels, then on the screen.
    return client.topLeft() + QPoint((2 * r.x() + r.width()) * scale / 2, (2 * r.y() + r.height()) * scale / 2);
}

bool hasTemplate(int templateId)
{
    return loadedTemplate(templateId) != nullptr;
}

namespace {

std::string &executable()
{
    // QUORVEL_DESK_EXE runs another build of the tool (an older one, for figures to compare).
    static std::string path = std::getenv("QUORVEL_DESK_EXE") ? std::getenv("QUORVEL_DESK_EXE") : QUORVEL_EXE;
    return path;
}

} // namespace

void setExecutable(const std::string &path)
{
    executable() = path;
}

Quorvel::Quorvel(const std::string &dir, uint16_t port, const QProcessEnvironment &extra) : m_dir(dir)
{
    const std::string runtime = dir + "/run";
    QDir().mkpath(QString::fromStdString(runtime));
    ::chmod(runtime.c_str(), 0700);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_SCALE_FACTOR"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
    env.insert(QStringLiteral("QUORVEL_MESSAGEBOX_LOG"), QString::fromStdString(dir + "/messages.log"));
    env.insert(extra);

    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(env);
    m_process->setWorkingDirectory(QString::fromStdString(dir));
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    m_process->start(QString::fromStdString(executable()),
                     {QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(port)});
    if (!m_process->waitForStarted(10000)) {
        std::fprintf(stderr, "desk: cannot start %s\n", executable().c_str());
        return;
    }
    m_main = waitForWindow(pid(), QStringLiteral("Pelmora"), 15000);
    if (!m_main) {
        std::fprintf(stderr, "desk: no main window of process %lld; managed windows:\n", pid());
        for (WindowId id : stackingOrder())
            std::fprintf(stderr, "  %lu %s\n", id,
                         qPrintable(run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(id)}).trimmed()));
    }
}

Quorvel::~Quorvel()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process->processId()), SIGTERM);
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

qint64 Quorvel::pid() const
{
    return m_process ? m_process->processId() : 0;
}

bool Quorvel::running() const
{
    return m_process && m_process->state() == QProcess::Running;
}

std::vector<std::string> Quorvel::messages() const
{
    std::vector<std::string> lines;
    std::ifstream in(m_dir + "/messages.log");
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Quorvel::waitForMessage(const std::string &line, int ms) const
{
    return waitUntil([&] {
        const auto lines = messages();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }, ms);
}

int Quorvel::countMessages(const std::string &part) const
{
    const auto lines = messages();
    return int(std::count_if(lines.begin(), lines.end(), [&](const std::string &l) { return l.find(part) != std::string::npos; }));
}

int Quorvel::terminate(int ms)
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return -1;
    ::kill(pid_t(m_process->processId()), SIGTERM);
    if (!m_process->waitForFinished(ms)) {
        m_process->kill();
        m_process->waitForFinished(5000);
        return -1;
    }
    return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

} // namespace desk
