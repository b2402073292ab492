// quorvel-screenshots OUTDIR [NAME...]: draws the tool's windows on the offscreen
// platform and saves each as OUTDIR/NAME.png (all of them when no NAME is given).
// scripts/screenshots.sh runs it into docs/images/.
//
// Each picture is one function in the table `kShots`; a new window gets a function that
// builds it (from the application object it is handed, as the real program does), shows it
// without running it modally, and returns framed(window) or a composition of several.
#include "app/aboutdlg.h"
#include "app/configdlg.h"
#include "app/quorvelapp.h"
#include "app/quorveldlg.h"
#include "app/vendersessionof.h"
#include "clock/ui/clocksetdlg.h"
#include "logo/ui/shopdlg.h"
#include "mfp/ui/mfpcnfdlg.h"
#include "platform/fonts.h"
#include "platform/ui/messagebox.h"
#include "vendorsim/vendorsim.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

namespace {

constexpr int kTitleHeight = 28;
constexpr int kBorder = 1;

// Points the application's vendor connection at the simulator `sim`.
void talkTo(CQuorvelApp &app, const vendorsim::Simulator &sim)
{
    std::string message;
    app.ParseCommandLine({QStringLiteral("quorvel"), QStringLiteral("--port"), QString::number(sim.port())}, message);
}

// The window's client area inside a plain title bar and border, as a desktop would
// show it (the offscreen platform draws no frames of its own).
QImage framed(QWidget *w)
{
    const QImage client = w->grab().toImage();
    QImage img(client.width() + 2 * kBorder, client.height() + kTitleHeight + kBorder, QImage::Format_RGB32);
    img.fill(QColor(0x5a, 0x64, 0x6e));
    QPainter p(&img);
    QLinearGradient bar(0, 0, 0, kTitleHeight);
    bar.setColorAt(0, QColor(0xf4, 0xf5, 0xf7));
    bar.setColorAt(1, QColor(0xdc, 0xdf, 0xe4));
    p.fillRect(QRect(kBorder, kBorder, client.width(), kTitleHeight - kBorder), bar);
    int x = kBorder + 8;
    const QIcon icon = w->windowIcon();
    if (!icon.isNull()) {
        icon.paint(&p, QRect(x, (kTitleHeight - 18) / 2 + 1, 18, 18));
        x += 24;
    }
    p.setPen(QColor(0x20, 0x20, 0x20));
    p.setFont(QApplication::font());
    p.drawText(QRect(x, 0, client.width() - x - 60, kTitleHeight), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    // Close box and, where the window has one, the minimise box.
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
    p.setRenderHint(QPainter::Antialiasing);
    const int cy = kTitleHeight / 2 + 1;
    int bx = img.width() - 20;
    if (w->windowFlags() & Qt::WindowCloseButtonHint) {
        p.drawLine(QPointF(bx - 5, cy - 5), QPointF(bx + 5, cy + 5));
        p.drawLine(QPointF(bx - 5, cy + 5), QPointF(bx + 5, cy - 5));
        bx -= 28;
    }
    if (w->windowFlags() & Qt::WindowMinimizeButtonHint)
        p.drawLine(QPointF(bx - 5, cy + 4), QPointF(bx + 5, cy + 4));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawImage(kBorder, kTitleHeight, client);
    return img;
}

// Where a point of `w`'s client area lies in framed(w).
QPoint inFrame(QWidget *w, const QPoint &globalPos)
{
    return w->mapFromGlobal(globalPos) + QPoint(kBorder, kTitleHeight);
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Lets the dialog's vendor operations (which run on the vendor worker) come to their end.
template <class D>
void waitForVendor(const D &dlg)
{
    QElapsedTimer t;
    t.start();
    while (dlg.VenderBusy() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    settle();
}

QImage shotMainWindow(CQuorvelApp &app)
{
    CQuorvelDlg dlg(app);
    dlg.create();
    dlg.show();
    settle();
    return framed(&dlg);
}

QImage shotWindowMenu(CQuorvelApp &app)
{
    CQuorvelDlg dlg(app);
    dlg.create();
    dlg.show();
    settle();
    // Opened as a right click on the background near the top left corner would open it.
    dlg.popupWindowMenu(dlg.mapToGlobal(QPoint(10, 12)));
    QMenu *menu = dlg.windowMenu();
    menu->setActiveAction(menu->actions().last());
    settle();
    QImage img = framed(&dlg);
    QPainter p(&img);
    p.drawImage(inFrame(&dlg, menu->pos()), menu->grab().toImage());
    p.end();
    menu->hide();
    return img;
}

QImage shotAboutBox(CQuorvelApp &)
{
    CAboutDlg about;
    about.create();
    about.show();
    settle();
    return framed(&about);
}

// The clock dialog against a simulated vendor on a loopback port, with the PC's clock
// and the vendor's standing at the same fixed moment, so the picture does not change
// from run to run. Ticks are given by hand instead of waiting for the timer.
class ShotClockDlg : public CClockSetDlg {
public:
    ShotClockDlg(CQuorvelApp &app, std::time_t now) : CClockSetDlg(VenderSessionOf(app)), m_now(now) {}
    void tick() { OnTimer(kClockTimer); }

protected:
    std::time_t CurrentTime() const override { return m_now; }

private:
    std::time_t m_now;
};

std::time_t fixedMoment()
{
    std::tm tm{};
    tm.tm_year = 2025 - 1900;
    tm.tm_mon = 7; // August
    tm.tm_mday = 9;
    tm.tm_hour = 12;
    tm.tm_min = 34;
    tm.tm_sec = 56;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// `lose` = true: the vendor goes away after the first tick, and the next tick finds it
// silent.
QImage shotClockDialog(CQuorvelApp &app, bool lose)
{
    vendorsim::Options o;
    o.port = 0;
    o.deviceNumber = "SHOP01";
    vendorsim::Simulator sim(o);
    if (!sim.start())
        return {};
    const std::time_t now = fixedMoment();
    sim.setClockOffset(static_cast<long long>(now) - static_cast<long long>(std::time(nullptr)));
    talkTo(app, sim);

    ShotClockDlg dlg(app, now);
    dlg.create();
    dlg.stopWindowTimer(CClockSetDlg::kClockTimer);
    dlg.show();
    waitForVendor(dlg); // the connection is open
    dlg.tick();
    waitForVendor(dlg);
    if (lose) {
        sim.stop();
        dlg.tick();
        waitForVendor(dlg);
    }
    settle();
    QImage img = framed(&dlg);
    dlg.destroyWindow();
    return img;
}

QImage shotCommSettings(CQuorvelApp &app)
{
    CConfigDlg dlg(app);
    dlg.create();
    dlg.show();
    settle();
    return framed(&dlg);
}

// The logo dialog designing a shop name and telephone number on the built-in background,
// sent to a simulated vendor that keeps what it received in `outDir` (when not empty).
// Returns the dialog and its preview as a desktop shows them side by side.
QImage designAndSendLogo(CQuorvelApp &app, const std::string &outDir)
{
    vendorsim::Options o;
    o.port = 0;
    o.outDir = outDir;
    vendorsim::Simulator sim(o);
    if (!sim.start())
        return {};
    talkTo(app, sim);

    // The work file goes to a folder of its own, not beside the pictures.
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());

    CShopDlg dlg(VenderSessionOf(app), false);
    dlg.create();
    dlg.show();
    auto pick = [&dlg](int id, const char *text) {
        auto *list = dlg.item<QComboBox>(id);
        const int i = list->findText(QString::fromUtf8(text));
        list->setCurrentIndex(i);
        emit list->activated(i);
    };
    dlg.item<QPlainTextEdit>(CShopDlg::IDC_SHOPNAME_EDIT)->setPlainText(QString::fromUtf8("中央商店\n本店"));
    pick(CShopDlg::IDC_SIZE, "40");
    dlg.MoveCurrentLayer(8, 4);
    dlg.item<QAbstractButton>(CShopDlg::IDC_TEL_RADIO)->click();
    dlg.item<QPlainTextEdit>(CShopDlg::IDC_TEL_EDIT)->setPlainText(QStringLiteral("TEL 000-000-0000"));
    pick(CShopDlg::IDC_SIZE, "20");
    dlg.MoveCurrentLayer(8, 90);
    dlg.item<QAbstractButton>(CShopDlg::IDC_SHOPNAME_RADIO)->click();
    dlg.item<QAbstractButton>(CShopDlg::IDC_SEND)->click();
    waitForVendor(dlg);

    const QImage main = framed(&dlg);
    const QImage preview = framed(&dlg.Canvas());
    constexpr int kGap = 16;
    QImage img(main.width() + kGap + preview.width(), std::max(main.height(), preview.height()), QImage::Format_RGB32);
    img.fill(QColor(0x3b, 0x4a, 0x5a));
    QPainter p(&img);
    p.drawImage(0, 0, main);
    p.drawImage(main.width() + kGap, 0, preview);
    p.end();
    dlg.destroyWindow();
    QDir::setCurrent(previous);
    return img;
}

QImage shotLogoDialog(CQuorvelApp &app)
{
    return designAndSendLogo(app, {});
}

// What the simulated vendor received from the logo dialog, as it draws it.
QImage shotReceivedLogo(CQuorvelApp &app)
{
    QTemporaryDir out;
    if (designAndSendLogo(app, out.path().toStdString()).isNull())
        return {};
    return QImage(out.filePath(QStringLiteral("received-logo.png")));
}

// The MFP dialog after a receive from a simulated vendor whose paper 3 holds A4 on a
// second-line FAX, with the tree item of `tag` chosen.
QImage shotMfpDialog(CQuorvelApp &app, int tag)
{
    vendorsim::Options o;
    o.port = 0;
    vendorsim::Simulator sim(o);
    if (!sim.start())
        return {};
    auto set = sim.mfpParameters();
    const uint8_t paper3[] = {2, 4, 1, 0, 0, 0, 3, 6, 0, 1, 0};
    std::copy(std::begin(paper3), std::end(paper3), set.begin() + 22);
    set[110] = 1;
    sim.setMfpParameters(set);
    talkTo(app, sim);

    CMfpcnfDlg dlg(VenderSessionOf(app));
    dlg.create();
    dlg.show();
    dlg.command(CMfpcnfDlg::IDC_RECEIVE, platform::Notify::Clicked);
    waitForVendor(dlg);
    QTreeWidget *tree = dlg.Tree();
    tree->topLevelItem(0)->setExpanded(true); // the paper numbers
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == tag)
            tree->setCurrentItem(*it);
    settle();
    QImage img = framed(&dlg);
    dlg.destroyWindow();
    return img;
}

struct Shot {
    const char *name;
    std::function<QImage(CQuorvelApp &)> take;
};

const Shot kShots[] = {
    {"main-window", shotMainWindow},
    {"window-menu", shotWindowMenu},
    {"about-box", shotAboutBox},
    {"clock-dialog", [](CQuorvelApp &app) { return shotClockDialog(app, false); }},
    {"clock-dialog-comm-error", [](CQuorvelApp &app) { return shotClockDialog(app, true); }},
    {"comm-settings", shotCommSettings},
    {"logo-dialog", shotLogoDialog},
    {"received-logo", shotReceivedLogo},
    {"mfp-dialog-paper", [](CQuorvelApp &app) { return shotMfpDialog(app, CMfpcnfDlg::TAG_PAPER + 3); }},
    {"mfp-dialog-fax", [](CQuorvelApp &app) { return shotMfpDialog(app, CMfpcnfDlg::TAG_FAX_LINE2); }},
};

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qa(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/quorvel.png")));
    platform::installFontSubstitutions();
    platform::installUiFont();
    if (argc < 2) {
        std::fprintf(stderr, "usage: quorvel-screenshots OUTDIR [NAME...]\nnames:");
        for (const Shot &s : kShots)
            std::fprintf(stderr, " %s", s.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    // The windows read the application object as in the real program, named as it is.
    CQuorvelApp app;
    QCoreApplication::setApplicationName(QStringLiteral("quorvel"));
    platform::ScriptedMessageBoxes boxes; // no box may wait for a click here

    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 1;
    int failures = 0;
    for (const Shot &s : kShots) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; ++i)
            wanted = wanted || QString::fromLocal8Bit(argv[i]) == QLatin1String(s.name);
        if (!wanted)
            continue;
        const QString path = out.filePath(QString::fromLatin1(s.name) + QStringLiteral(".png"));
        if (s.take(app).save(path, "PNG")) {
            std::printf("%s\n", qPrintable(path));
        } else {
            std::fprintf(stderr, "quorvel-screenshots: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
