// The clock and device-number dialog against the simulated vendor, and the failure
// report. Ticks come from the real one-second timer where the timer itself is what is
// tested, and are given by hand elsewhere so that the tests stay quick. The vendor's
// operations run on the worker: a test waits for them to end (settled) before it looks at
// what they did.
#include "clock/ui/clocksetdlg.h"
#include "vendorui/reportfailure.h"
#include "platform/calendar.h"
#include "platform/codepage.h"
#include "platform/ui/controls.h"
#include "platform/fonts.h"
#include "platform/ui/messagebox.h"
#include "support/bytes.h"
#include "support/loopback.h"
#include "support/simulator.h"
#include "support/ui/dialogfixture.h"
#include "support/vendorfixture.h"
#include "vendorsim/vendorsim.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include "support/ui/windowinput.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

using platform::MsgIcon;
using testutil::Bytes;
using testutil::Close;
using namespace std::chrono_literals;

namespace {

const int kEditing[] = {CClockSetDlg::IDC_DEVICE_NUMBER, CClockSetDlg::IDC_SET_NUMBER, CClockSetDlg::IDC_SET_NOW,
                        CClockSetDlg::IDC_SET_EDITED,    CClockSetDlg::IDC_YEAR,       CClockSetDlg::IDC_MONTH,
                        CClockSetDlg::IDC_DAY,           CClockSetDlg::IDC_HOUR,       CClockSetDlg::IDC_MINUTE};

QString u(const std::string &cp932)
{
    return platform::fromCp932(cp932);
}

// A local date and time as the PC's clock.
std::time_t localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// The clock dialog with a hand for its timer and, when set, a PC clock that stands still.
class ClockDlg : public CClockSetDlg {
public:
    using CClockSetDlg::CClockSetDlg;
    std::optional<std::time_t> now;
    void tick() { OnTimer(kClockTimer); }

protected:
    std::time_t CurrentTime() const override { return now ? *now : CClockSetDlg::CurrentTime(); }
};

// A message box that stays open for a while, as an operator who reads it first would
// keep it, with the event loop running meanwhile; records what the dialog showed then.
class SlowBoxes : public platform::MessageBoxService {
public:
    explicit SlowBoxes(int openMs) : m_openMs(openMs) { m_previous = platform::setMessageBoxService(this); }
    ~SlowBoxes() override { platform::setMessageBoxService(m_previous); }
    platform::MsgResult show(const std::string &text, MsgIcon, platform::MsgButtons) override
    {
        texts.push_back(text);
        QEventLoop loop;
        QTimer::singleShot(m_openMs, &loop, &QEventLoop::quit);
        loop.exec();
        if (closing)
            closing();
        return platform::MsgResult::Ok;
    }
    std::vector<std::string> texts;
    std::function<void()> closing; // called as a box closes

private:
    int m_openMs;
    platform::MessageBoxService *m_previous = nullptr;
};

QString pcTimeText(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%y/%m/%d %H:%M:%S", &tm);
    return QString::fromLatin1(buf);
}

} // namespace

class TestClockSetDlg : public QObject {
    Q_OBJECT

    std::unique_ptr<testutil::DialogFixture> m_ui;
    std::unique_ptr<testutil::VendorFixture> m_vendor;

    // A vendor that takes every request and answers none.
    void startSilentVendor()
    {
        startVendor();
        m_vendor->sim->setFaults(testutil::silent());
    }
    void startVendor(const std::string &deviceNumber = "SHOP01")
    {
        vendorsim::Options o;
        o.deviceNumber = deviceNumber;
        QVERIFY(m_vendor->start(o));
    }
    // The next exchange, or the next `n`, is answered with status 1.
    void failNextExchanges(int n = 1)
    {
        m_vendor->sim->setFaults(testutil::failing(m_vendor->sim->exchanges() + 1, n));
    }
    // Request frames of one command since `from` (an index into the simulator's list).
    std::vector<Bytes> requestsOf(uint8_t cmd, size_t from = 0) const
    {
        std::vector<Bytes> out;
        const auto all = m_vendor->sim->requests();
        for (size_t i = from; i < all.size(); ++i)
            if (all[i].size() > 2 && all[i][2] == cmd)
                out.push_back(all[i]);
        return out;
    }
    // The dialog's operations have ended, and so have the boxes they lead to.
    static bool settled(const ClockDlg &dlg, int ms = 5000)
    {
        return QTest::qWaitFor([&dlg] { return !dlg.VenderBusy(); }, ms);
    }
    // A dialog whose session is open (or has failed to open), with its timer left to the
    // test; null when the opening does not end.
    std::unique_ptr<ClockDlg> openDialog(std::optional<std::time_t> now = {})
    {
        auto dlg = std::make_unique<ClockDlg>(m_vendor->session());
        dlg->now = now;
        dlg->create();
        dlg->stopWindowTimer(CClockSetDlg::kClockTimer);
        dlg->show();
        return settled(*dlg) ? std::move(dlg) : nullptr;
    }
    // After the first tick's clock and number reads; null when they do not end.
    std::unique_ptr<ClockDlg> readyDialog(std::optional<std::time_t> now = {})
    {
        auto dlg = openDialog(now);
        if (!dlg)
            return nullptr;
        dlg->tick();
        return settled(*dlg) ? std::move(dlg) : nullptr;
    }
    // Gives a tick by hand and waits for what it started.
    static bool tickAndSettle(ClockDlg &dlg, int ms = 5000)
    {
        dlg.tick();
        return settled(dlg, ms);
    }
    // The worker has nothing left to do, the session's close included.
    bool workerIdle(int ms = 2000)
    {
        return QTest::qWaitFor([this] { return m_vendor->worker.Idle(); }, ms);
    }
    static bool editingEnabled(const ClockDlg &dlg, bool enabled)
    {
        for (int id : kEditing)
            if (dlg.item(id)->isEnabled() != enabled)
                return false;
        return true;
    }
    static QString text(const ClockDlg &dlg, int id) { return u(dlg.itemText(id)); }
    static void pick(ClockDlg &dlg, int list, int index) { dlg.item<QComboBox>(list)->setCurrentIndex(index); }

private slots:
    void initTestCase() { platform::installFontSubstitutions(); }
    void init()
    {
        m_ui = std::make_unique<testutil::DialogFixture>();
        QVERIFY(m_ui->ok());
        m_vendor = std::make_unique<testutil::VendorFixture>();
    }
    void cleanup()
    {
        m_vendor.reset();
        m_ui.reset();
    }

    void failureReportNamesTheOperation_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("clock") << QString::fromUtf8("時刻情報の設定");
        QTest::newRow("number") << QString::fromUtf8("装置番号の設定");
        QTest::newRow("percent signs stay as they are") << QStringLiteral("%s %d 100%");
    }
    void failureReportNamesTheOperation()
    {
        QFETCH(QString, title);
        const std::string t = platform::toCp932(title);
        QVERIFY(ReportFailure(true, t));
        QVERIFY(m_ui->boxes->boxes().empty());
        QVERIFY(!ReportFailure(false, t));
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        const auto &box = m_ui->boxes->boxes()[0];
        QCOMPARE(box.icon, MsgIcon::Stop);
        QCOMPARE(box.buttons, platform::MsgButtons::Ok);
        QString expected = u(FailureMessageTemplate());
        QCOMPARE(expected.count(QStringLiteral("%s")), 1);
        expected.replace(QStringLiteral("%s"), title);
        QCOMPARE(u(box.text), expected);
    }

    void layoutAndLists()
    {
        startVendor();
        const std::time_t now = localTime(2025, 8, 9, 7, 5, 30);
        auto dlg = openDialog(now);
        QVERIFY(dlg);
        QCOMPARE(dlg->windowTitle(), QString::fromUtf8("時計設定"));
        const platform::DialogUnits &du = dlg->units();
        QCOMPARE(dlg->size(), QSize(du.x(199), du.y(182)));
        QCOMPARE(dlg->item(CClockSetDlg::IDC_DEVICE_CLOCK)->geometry(), du.rect(QRect(49, 23, 131, 12)));
        QCOMPARE(dlg->item<QLabel>(CClockSetDlg::IDC_PC_TIME)->frameShadow(), QFrame::Sunken);
        // The unit characters start right after the year list.
        const QLabel *unitYear = nullptr;
        for (const QLabel *l : dlg->findChildren<QLabel *>())
            if (l->text() == QString::fromUtf8("年"))
                unitYear = l;
        QVERIFY(unitYear);
        QCOMPARE(unitYear->pos(), QPoint(du.x(45), du.y(83)));
        QCOMPARE(dlg->item<QLineEdit>(CClockSetDlg::IDC_DEVICE_NUMBER)->alignment() & Qt::AlignHCenter,
                 Qt::AlignHCenter);
        QCOMPARE(text(*dlg, 1), QString::fromUtf8("戻る"));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_SET_NOW), QString::fromUtf8("現在時刻に設定"));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_SET_EDITED), QString::fromUtf8("編集時刻に設定"));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_SET_NUMBER), QString::fromUtf8("設定"));

        struct List {
            int id;
            int count;
            const char *first;
            const char *last;
            int selected;
        };
        const List lists[] = {
            {CClockSetDlg::IDC_YEAR, 100, "2000", "2099", 25}, {CClockSetDlg::IDC_MONTH, 12, "01", "12", 7},
            {CClockSetDlg::IDC_DAY, 31, "01", "31", 8},         {CClockSetDlg::IDC_HOUR, 24, "00", "23", 7},
            {CClockSetDlg::IDC_MINUTE, 60, "00", "59", 5},
        };
        for (const List &l : lists) {
            auto *c = dlg->item<QComboBox>(l.id);
            QCOMPARE(c->count(), l.count);
            QCOMPARE(c->itemText(0), QString::fromLatin1(l.first));
            QCOMPARE(c->itemText(l.count - 1), QString::fromLatin1(l.last));
            QCOMPARE(c->currentIndex(), l.selected);
        }
    }

    // The real timer: empty and disabled at first, both clocks and the number from the
    // first tick on; the number is read only once while the vendor keeps answering.
    void opensDisabledAndComesAliveAtTheFirstTick()
    {
        startVendor("SHOP01");
        ClockDlg dlg(m_vendor->session());
        dlg.now = localTime(2025, 8, 9, 12, 34, 56);
        dlg.create();
        dlg.show();
        QVERIFY(m_ui->boxes->boxes().empty());
        QVERIFY(dlg.windowTimerRunning(CClockSetDlg::kClockTimer));
        QCOMPARE(text(dlg, CClockSetDlg::IDC_DEVICE_CLOCK), QString());
        QCOMPARE(text(dlg, CClockSetDlg::IDC_PC_TIME), QString());
        QVERIFY(editingEnabled(dlg, false));
        QVERIFY(dlg.item(1)->isEnabled());
        QCOMPARE(m_vendor->sim->exchanges(), 0);

        QTRY_VERIFY_WITH_TIMEOUT(!text(dlg, CClockSetDlg::IDC_DEVICE_CLOCK).isEmpty(), 3000);
        QVERIFY(settled(dlg));
        QCOMPARE(text(dlg, CClockSetDlg::IDC_PC_TIME), QStringLiteral("25/08/09 12:34:56"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                    .match(text(dlg, CClockSetDlg::IDC_DEVICE_CLOCK))
                    .hasMatch());
        QVERIFY(editingEnabled(dlg, true));
        QCOMPARE(text(dlg, CClockSetDlg::IDC_DEVICE_NUMBER), QStringLiteral("SHOP01"));
        QCOMPARE(dlg.item<QLineEdit>(CClockSetDlg::IDC_DEVICE_NUMBER)->maxLength(), 6);
        QCOMPARE(requestsOf(vendercmd::ReadDeviceNumber).size(), size_t(1));

        // What the operator types is not overwritten by later ticks.
        dlg.item<QLineEdit>(CClockSetDlg::IDC_DEVICE_NUMBER)->setText(QStringLiteral("AB"));
        QVERIFY(tickAndSettle(dlg));
        QCOMPARE(requestsOf(vendercmd::ReadDeviceNumber).size(), size_t(1));
        QCOMPARE(text(dlg, CClockSetDlg::IDC_DEVICE_NUMBER), QStringLiteral("AB"));

        dlg.destroyWindow();
        QVERIFY(!dlg.windowTimerRunning(CClockSetDlg::kClockTimer));
        QVERIFY(workerIdle());
        QVERIFY(!m_vendor->vender.IsConnected());
    }

    void sixSpacesLeaveTheEditAsItIs()
    {
        startVendor("      ");
        auto dlg = readyDialog();
        QVERIFY(dlg);
        QVERIFY(dlg->ControlsEnabled());
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_DEVICE_NUMBER), QString());
    }

    // Through every state: ready, not answering, answering without number, ready again,
    // with the number read again and replacing what was typed.
    void vendorStopsAnsweringAndComesBack()
    {
        startVendor("SHOP01");
        auto dlg = readyDialog();
        QVERIFY(dlg);
        QVERIFY(dlg->Reachable() && dlg->ControlsEnabled());
        dlg->item<QLineEdit>(CClockSetDlg::IDC_DEVICE_NUMBER)->setText(QStringLiteral("XYZ"));

        failNextExchanges();
        QVERIFY(tickAndSettle(*dlg));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_DEVICE_CLOCK), QString::fromUtf8(">> 通信異常です <<"));
        QVERIFY(!dlg->Reachable() && !dlg->ControlsEnabled());
        QVERIFY(editingEnabled(*dlg, false));
        QVERIFY(dlg->item(1)->isEnabled());
        QVERIFY(m_ui->boxes->boxes().empty()); // a lost clock shows in the display only

        // The clock answers, the number does not: still disabled, number tried each tick.
        vendorsim::Faults f;
        f.status = 1;
        f.statusOn = {m_vendor->sim->exchanges() + 2};
        m_vendor->sim->setFaults(f);
        QVERIFY(tickAndSettle(*dlg));
        QVERIFY(!text(*dlg, CClockSetDlg::IDC_DEVICE_CLOCK).startsWith(QStringLiteral(">>")));
        QVERIFY(dlg->Reachable() && !dlg->ControlsEnabled());
        QVERIFY(editingEnabled(*dlg, false));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_DEVICE_NUMBER), QStringLiteral("XYZ"));

        const size_t before = m_vendor->sim->requests().size();
        QVERIFY(tickAndSettle(*dlg));
        QVERIFY(dlg->ControlsEnabled());
        QVERIFY(editingEnabled(*dlg, true));
        QCOMPARE(requestsOf(vendercmd::ReadDeviceNumber, before).size(), size_t(1));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_DEVICE_NUMBER), QStringLiteral("SHOP01"));
        QVERIFY(m_ui->boxes->boxes().empty());
    }

    // A vendor that does not answer at all costs the command's three attempts, each at
    // its reply limit; the dialog then shows the lost clock and recovers on the next tick.
    void silentVendorCostsThreeAttemptsThenRecovers()
    {
        startVendor();
        auto dlg = readyDialog();
        QVERIFY(dlg);
        vendorsim::Faults f;
        for (int i = 1; i <= 3; ++i)
            f.noReply.insert(m_vendor->sim->exchanges() + i);
        m_vendor->sim->setFaults(f);
        const size_t before = m_vendor->sim->requests().size();
        QVERIFY(tickAndSettle(*dlg, 15000));
        QCOMPARE(requestsOf(vendercmd::ReadClock, before).size(), size_t(3));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_DEVICE_CLOCK), QString::fromUtf8(">> 通信異常です <<"));
        QVERIFY(editingEnabled(*dlg, false));
        QVERIFY(tickAndSettle(*dlg));
        QVERIFY(dlg->ControlsEnabled());
    }

    void vendorThatCannotBeReachedIsToldOnceAndStaysDisabled()
    {
        m_vendor->pointAt(testutil::portWithNothingListening());
        auto dlg = openDialog();
        QVERIFY(dlg);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        QCOMPARE(u(m_ui->boxes->boxes()[0].text), QString::fromUtf8("通信できません。\n環境を確認してください。"));
        QVERIFY(tickAndSettle(*dlg));
        QVERIFY(tickAndSettle(*dlg));
        QCOMPARE(text(*dlg, CClockSetDlg::IDC_DEVICE_CLOCK), QString::fromUtf8(">> 通信異常です <<"));
        QVERIFY(!text(*dlg, CClockSetDlg::IDC_PC_TIME).isEmpty());
        QVERIFY(editingEnabled(*dlg, false));
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
    }

    void setEditedSendsSecondZeroAndTheYearInTheCentury_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("shown");
        QTest::newRow("2005") << 2005 << 8 << 9 << 12 << 0 << QByteArray("\x05\x08\x09\x12\x00\x00", 6)
                              << QStringLiteral("05/08/09 12:00:0");
        QTest::newRow("2099") << 2099 << 12 << 31 << 23 << 59 << QByteArray("\x99\x12\x31\x23\x59\x00", 6)
                              << QStringLiteral("99/12/31 23:59:0");
        QTest::newRow("2000, leap day") << 2000 << 2 << 29 << 0 << 7 << QByteArray("\x00\x02\x29\x00\x07\x00", 6)
                                        << QStringLiteral("00/02/29 00:07:0");
    }
    void setEditedSendsSecondZeroAndTheYearInTheCentury()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(QByteArray, sent);
        QFETCH(QString, shown);
        startVendor();
        auto dlg = readyDialog(localTime(2025, 1, 1, 10, 10, 10));
        QVERIFY(dlg);
        pick(*dlg, CClockSetDlg::IDC_YEAR, year - 2000);
        pick(*dlg, CClockSetDlg::IDC_MONTH, month - 1);
        pick(*dlg, CClockSetDlg::IDC_DAY, day - 1);
        pick(*dlg, CClockSetDlg::IDC_HOUR, hour);
        pick(*dlg, CClockSetDlg::IDC_MINUTE, minute);
        windowClick(dlg->item(CClockSetDlg::IDC_SET_EDITED));
        QVERIFY(settled(*dlg));

        const auto sets = requestsOf(vendercmd::SetClock);
        QCOMPARE(sets.size(), size_t(1));
        QCOMPARE(testutil::dataOf(sets[0]), Bytes(sent.begin(), sent.end()));
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        QCOMPARE(u(m_ui->boxes->boxes()[0].text), QString::fromUtf8("時刻情報を設定しました"));
        QCOMPARE(m_ui->boxes->boxes()[0].icon, MsgIcon::Information);
        QVERIFY(dlg->Reachable());
        QVERIFY(tickAndSettle(*dlg));
        QVERIFY(text(*dlg, CClockSetDlg::IDC_DEVICE_CLOCK).startsWith(shown));
    }

    void setNowSendsThePcTimeToTheSecond()
    {
        startVendor();
        auto dlg = readyDialog(localTime(2025, 12, 31, 23, 59, 58));
        QVERIFY(dlg);
        windowClick(dlg->item(CClockSetDlg::IDC_SET_NOW));
        QVERIFY(settled(*dlg));
        const auto sets = requestsOf(vendercmd::SetClock);
        QCOMPARE(sets.size(), size_t(1));
        QCOMPARE(testutil::dataOf(sets[0]), (Bytes{0x25, 0x12, 0x31, 0x23, 0x59, 0x58}));
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        QCOMPARE(m_ui->boxes->boxes()[0].icon, MsgIcon::Information);
    }

    // Clicked while a clock read of the dialog is still under way (a background read shows
    // the dialog busy only once it lasts), the setting waits behind the read on the worker;
    // it sends the PC's time when it goes out, not the time of the click.
    void setNowWaitingBehindAReadSendsTheTimeItGoesOut()
    {
        startVendor();
        auto dlg = readyDialog(localTime(2025, 12, 31, 23, 59, 50));
        QVERIFY(dlg);
        vendorsim::Faults f; // the read's reply comes in four pieces over 2.4 s
        f.pieces = {1, 1, 1};
        f.pieceGapMs = 800;
        f.piecesOn = {m_vendor->sim->exchanges() + 1};
        m_vendor->sim->setFaults(f);
        const size_t before = m_vendor->sim->requests().size();
        dlg->tick();
        QVERIFY(dlg->VenderBusy());
        QVERIFY(dlg->item(CClockSetDlg::IDC_SET_NOW)->isEnabled());
        windowClick(dlg->item(CClockSetDlg::IDC_SET_NOW));
        QVERIFY(settled(*dlg));
        const auto sets = requestsOf(vendercmd::SetClock, before);
        QCOMPARE(sets.size(), size_t(1));
        const Bytes sent = testutil::dataOf(sets[0]);
        QCOMPARE(sent.size(), size_t(6));
        QCOMPARE(Bytes(sent.begin(), sent.begin() + 5), (Bytes{0x25, 0x12, 0x31, 0x23, 0x59}));
        QVERIFY2(sent[5] == 0x52 || sent[5] == 0x53, qPrintable(QString::number(sent[5], 16)));
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        QCOMPARE(m_ui->boxes->boxes()[0].icon, MsgIcon::Information);
    }

    // A date the calendar does not have, or a year list without a selection, is refused
    // with a reason; nothing is sent.
    void impossibleEditedTimeIsRefused_data()
    {
        QTest::addColumn<int>("pcYear");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("says");
        QTest::newRow("31 April") << 2025 << 4 << 31 << QStringLiteral("2025/04/31");
        QTest::newRow("29 February, common year") << 2025 << 2 << 29 << QStringLiteral("2025/02/29");
        QTest::newRow("30 February") << 2024 << 2 << 30 << QStringLiteral("2024/02/30");
        QTest::newRow("31 February") << 2024 << 2 << 31 << QStringLiteral("2024/02/31");
        QTest::newRow("PC year after the list") << 2100 << 5 << 5 << QString::fromUtf8("年が選択されていません");
        QTest::newRow("PC year before the list") << 1999 << 5 << 5 << QString::fromUtf8("年が選択されていません");
    }
    void impossibleEditedTimeIsRefused()
    {
        QFETCH(int, pcYear);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(QString, says);
        startVendor();
        auto dlg = readyDialog(localTime(pcYear, 1, 1, 9, 0, 0));
        QVERIFY(dlg);
        pick(*dlg, CClockSetDlg::IDC_MONTH, month - 1);
        pick(*dlg, CClockSetDlg::IDC_DAY, day - 1);
        windowClick(dlg->item(CClockSetDlg::IDC_SET_EDITED));
        QVERIFY(settled(*dlg));
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        QCOMPARE(m_ui->boxes->boxes()[0].icon, MsgIcon::Exclamation);
        QVERIFY2(u(m_ui->boxes->boxes()[0].text).contains(says), qPrintable(u(m_ui->boxes->boxes()[0].text)));
        QVERIFY(requestsOf(vendercmd::SetClock).empty());
        QVERIFY(dlg->Reachable() && dlg->ControlsEnabled());
    }

    void existingEdgeDatesAreSent_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::newRow("30 April") << 2025 << 4 << 30;
        QTest::newRow("29 February, leap year") << 2024 << 2 << 29;
        QTest::newRow("31 December 2099") << 2099 << 12 << 31;
    }
    void existingEdgeDatesAreSent()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QVERIFY(platform::dateExists(year, month, day));
        QVERIFY(!platform::dateExists(year, month, day + 1));
    }

    void deviceNumberIsCheckedAndFilledUp_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("sent"); // empty: refused
        QTest::newRow("short") << QStringLiteral("AB1") << QByteArray("AB1   ");
        QTest::newRow("empty") << QString() << QByteArray("      ");
        QTest::newRow("six") << QStringLiteral("Z9Y8X7") << QByteArray("Z9Y8X7");
        QTest::newRow("spaces and punctuation") << QStringLiteral("A-B .") << QByteArray("A-B . ");
        QTest::newRow("double-byte") << QString::fromUtf8("AB店") << QByteArray();
        QTest::newRow("half-width kana") << QString::fromUtf8("ｱｲｳ") << QByteArray();
        QTest::newRow("outside the code page") << QString::fromUtf8("A€") << QByteArray();
    }
    void deviceNumberIsCheckedAndFilledUp()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        startVendor("OLD123");
        auto dlg = readyDialog();
        QVERIFY(dlg);
        auto *edit = dlg->item<QLineEdit>(CClockSetDlg::IDC_DEVICE_NUMBER);
        edit->clear();
        edit->insert(typed); // as typed, or as an input method commits it
        QCOMPARE(edit->text(), typed);
        windowClick(dlg->item(CClockSetDlg::IDC_SET_NUMBER));
        QVERIFY(settled(*dlg));

        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        const auto &box = m_ui->boxes->boxes()[0];
        if (sent.isEmpty()) {
            QCOMPARE(u(box.text), QString::fromUtf8("半角英数文字以外は使用できません"));
            QCOMPARE(box.icon, MsgIcon::Exclamation);
            QVERIFY(requestsOf(vendercmd::SetDeviceNumber).empty());
            QCOMPARE(m_vendor->sim->deviceNumber(), std::string("OLD123"));
        } else {
            QCOMPARE(u(box.text), QString::fromUtf8("装置番号を設定しました"));
            QCOMPARE(box.icon, MsgIcon::Information);
            QCOMPARE(m_vendor->sim->deviceNumber(), sent.toStdString());
        }
        QVERIFY(dlg->Reachable() && dlg->ControlsEnabled());
    }

    void editHoldsSixCharacters()
    {
        startVendor();
        auto dlg = readyDialog();
        QVERIFY(dlg);
        auto *edit = dlg->item<QLineEdit>(CClockSetDlg::IDC_DEVICE_NUMBER);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("123456789"));
        QCOMPARE(edit->text(), QStringLiteral("123456"));
    }

    // A failed setting: the stop-icon report naming the operation; the dialog stays open.
    void failedSettingsAreReported_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("reachableAfter");
        QTest::newRow("clock") << int(CClockSetDlg::IDC_SET_NOW) << QString::fromUtf8("時刻情報の設定") << false;
        QTest::newRow("number") << int(CClockSetDlg::IDC_SET_NUMBER) << QString::fromUtf8("装置番号の設定") << true;
    }
    void failedSettingsAreReported()
    {
        QFETCH(int, button);
        QFETCH(QString, title);
        QFETCH(bool, reachableAfter);
        startVendor();
        auto dlg = readyDialog();
        QVERIFY(dlg);
        failNextExchanges();
        windowClick(dlg->item(button));
        QVERIFY(settled(*dlg));
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        QCOMPARE(m_ui->boxes->boxes()[0].icon, MsgIcon::Stop);
        QCOMPARE(m_ui->boxes->boxes()[0].text, FailureMessage(platform::toCp932(title)));
        QCOMPARE(dlg->Reachable(), reachableAfter);
        QVERIFY(dlg->ControlsEnabled()); // until the next tick's clock read decides
        QVERIFY(editingEnabled(*dlg, true));
        QVERIFY(dlg->isVisible());
        QVERIFY(tickAndSettle(*dlg));
        QVERIFY(dlg->Reachable() && dlg->ControlsEnabled());
    }

    // The real timer keeps polling behind an open box; the flag the setting decides is
    // set when the box closes.
    void ticksGoOnBehindAnOpenBox()
    {
        startVendor();
        auto dlg = readyDialog();
        QVERIFY(dlg);
        dlg->startWindowTimer(CClockSetDlg::kClockTimer, CClockSetDlg::kClockPeriodMs);
        m_ui->boxes.reset();
        SlowBoxes slow(1300);
        std::vector<Bytes> all; // the requests when the box closes
        slow.closing = [&] { all = m_vendor->sim->requests(); };
        const size_t before = m_vendor->sim->requests().size();
        windowClick(dlg->item(CClockSetDlg::IDC_SET_NOW));
        QTRY_COMPARE_WITH_TIMEOUT(slow.texts.size(), size_t(1), 5000);
        QVERIFY(settled(*dlg));
        QCOMPARE(slow.texts.size(), size_t(1));
        QCOMPARE(u(slow.texts[0]), QString::fromUtf8("時刻情報を設定しました"));
        QVERIFY(all.size() >= before + 2);
        QCOMPARE(all[before][2], vendercmd::SetClock);
        QCOMPARE(all[before + 1][2], vendercmd::ReadClock);
        QVERIFY(dlg->Reachable() && dlg->ControlsEnabled());
    }

    // While the clock read waits on a vendor that does not answer, the window goes on: its
    // event loop turns (a zero timer keeps firing), the PC's time changes every second,
    // and the vendor's display is left as it was.
    void silentVendorLeavesTheWindowAlive()
    {
        startSilentVendor();
        ClockDlg dlg(m_vendor->session()); // the real timer, the real PC clock
        dlg.create();
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(!requestsOf(vendercmd::ReadClock).empty(), 3000);

        // The read's three attempts wait 1 s each: the next 2.4 s lie inside it.
        int firings = 0;
        qint64 last = 0;
        qint64 longestGap = 0;
        bool busyThroughout = true;
        QString shown = text(dlg, CClockSetDlg::IDC_PC_TIME);
        std::vector<qint64> changes;
        QElapsedTimer clock;
        clock.start();
        QTimer zero;
        zero.setInterval(0);
        connect(&zero, &QTimer::timeout, this, [&] {
            const qint64 t = clock.elapsed();
            longestGap = std::max(longestGap, t - last);
            last = t;
            ++firings;
            busyThroughout = busyThroughout && dlg.VenderBusy();
            const QString now = text(dlg, CClockSetDlg::IDC_PC_TIME);
            if (now != shown) {
                shown = now;
                changes.push_back(t);
            }
        });
        zero.start();
        QEventLoop loop;
        QTimer::singleShot(2400, &loop, &QEventLoop::quit);
        loop.exec();
        zero.stop();
        longestGap = std::max(longestGap, clock.elapsed() - last);

        QVERIFY2(firings >= 100, qPrintable(QString::number(firings)));
        QVERIFY2(longestGap <= 150, qPrintable(QString::number(longestGap)));
        QVERIFY2(changes.size() >= 2, qPrintable(QString::number(changes.size())));
        QVERIFY(changes.front() <= 1200);
        for (size_t i = 1; i < changes.size(); ++i)
            QVERIFY2(changes[i] - changes[i - 1] >= 700 && changes[i] - changes[i - 1] <= 1300,
                     qPrintable(QString::number(changes[i] - changes[i - 1])));
        QVERIFY(busyThroughout); // the read was pending all along
        QVERIFY(requestsOf(vendercmd::ReadClock).size() <= 3); // the attempts of one read
        QCOMPARE(text(dlg, CClockSetDlg::IDC_DEVICE_CLOCK), QString());
        QVERIFY(editingEnabled(dlg, false));
    }

    // Ticks that fall due while an operation of the dialog runs show the PC's time at once
    // and start no read of their own; one read follows the operation, not one per tick.
    void ticksDuringAnOperationComeOnceAfterIt_data()
    {
        QTest::addColumn<bool>("operatorSets");
        QTest::newRow("a slow clock read") << false;
        QTest::newRow("a slow 現在時刻に設定") << true;
    }
    void ticksDuringAnOperationComeOnceAfterIt()
    {
        QFETCH(bool, operatorSets);
        startVendor();
        const std::time_t t0 = localTime(2025, 3, 4, 5, 6, 7);
        auto dlg = readyDialog(t0);
        QVERIFY(dlg);
        // Running, so that a due tick is delivered, but never firing within the test.
        dlg->startWindowTimer(CClockSetDlg::kClockTimer, 3600 * 1000);
        vendorsim::Faults f;
        f.delayMs = 700; // inside the reply wait: one attempt, answered late
        f.delayOn = {m_vendor->sim->exchanges() + 1};
        m_vendor->sim->setFaults(f);
        const size_t before = m_vendor->sim->requests().size();
        if (operatorSets)
            windowClick(dlg->item(CClockSetDlg::IDC_SET_NOW));
        else
            dlg->tick();
        QVERIFY(dlg->VenderBusy());
        QCOMPARE(dlg->item(CClockSetDlg::IDC_SET_NOW)->isEnabled(), !operatorSets);
        for (int i = 1; i <= 3; ++i) {
            dlg->now = t0 + i;
            dlg->tick();
            QCOMPARE(text(*dlg, CClockSetDlg::IDC_PC_TIME), pcTimeText(t0 + i));
        }
        QVERIFY(dlg->VenderBusy());

        const size_t reads = operatorSets ? 1 : 2;
        QTRY_COMPARE_WITH_TIMEOUT(requestsOf(vendercmd::ReadClock, before).size(), reads, 5000);
        QVERIFY(settled(*dlg));
        QTest::qWait(300);
        QCOMPARE(requestsOf(vendercmd::ReadClock, before).size(), reads);
        QVERIFY(m_vendor->worker.Idle());
        QVERIFY(dlg->ControlsEnabled() && editingEnabled(*dlg, true));
        if (operatorSets) {
            QCOMPARE(requestsOf(vendercmd::SetClock, before).size(), size_t(1));
            QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
            QCOMPARE(u(m_ui->boxes->boxes()[0].text), QString::fromUtf8("時刻情報を設定しました"));
        }
    }

    // A tick that falls due while the session is still opening comes when it is open.
    void aTickDueWhileTheSessionOpensComesAfterIt()
    {
        startVendor("SHOP01");
        auto gate = std::make_shared<std::atomic<bool>>(false);
        struct Release {
            std::shared_ptr<std::atomic<bool>> gate;
            ~Release() { *gate = true; }
        } release{gate};
        VenderSession session = m_vendor->session();
        session.open = [gate, open = session.open](COrvathVender &v) {
            for (int i = 0; i < 500 && !*gate; ++i) // an opening that takes its time
                std::this_thread::sleep_for(10ms);
            return open(v);
        };
        ClockDlg dlg(session);
        dlg.now = localTime(2025, 6, 7, 8, 9, 10);
        dlg.create();
        dlg.startWindowTimer(CClockSetDlg::kClockTimer, 3600 * 1000); // ticks by hand only
        dlg.show();
        QVERIFY(dlg.VenderBusy());
        dlg.tick();
        QCOMPARE(text(dlg, CClockSetDlg::IDC_PC_TIME), QStringLiteral("25/06/07 08:09:10"));
        QCOMPARE(text(dlg, CClockSetDlg::IDC_DEVICE_CLOCK), QString());

        *gate = true;
        QTRY_VERIFY_WITH_TIMEOUT(dlg.ControlsEnabled(), 3000);
        QVERIFY(!text(dlg, CClockSetDlg::IDC_DEVICE_CLOCK).isEmpty());
        QCOMPARE(text(dlg, CClockSetDlg::IDC_DEVICE_NUMBER), QStringLiteral("SHOP01"));
        QVERIFY(settled(dlg));
        QTest::qWait(300);
        QCOMPARE(requestsOf(vendercmd::ReadClock).size(), size_t(1));
        QCOMPARE(requestsOf(vendercmd::ReadDeviceNumber).size(), size_t(1));
    }

    // Closing the dialog while an operation waits on the vendor ends the operation: the
    // dialog is gone within 0.5 s and the worker is free soon after. "Vanished": the
    // session is still opening (the connect waits); "silent": a clock read waits.
    void closingDuringAnOperationEndsIt_data()
    {
        QTest::addColumn<bool>("vanished");
        QTest::addColumn<Close>("how");
        QTest::newRow("silent, 戻る") << false << Close::Button;
        QTest::newRow("silent, Esc") << false << Close::Escape;
        QTest::newRow("silent, close box") << false << Close::CloseBox;
        QTest::newRow("vanished, 戻る") << true << Close::Button;
    }
    void closingDuringAnOperationEndsIt()
    {
        QFETCH(bool, vanished);
        QFETCH(Close, how);
        // A listener whose accept queue is full: a connect to it is neither taken nor
        // refused, it waits, as one to a vendor that has gone from the network.
        std::unique_ptr<testutil::Listener> full;
        if (vanished) {
            full = std::make_unique<testutil::Listener>(0);
            QVERIFY(full->ok);
            full->fillQueue();
            m_vendor->pointAt(full->port);
        } else {
            startSilentVendor();
        }
        ClockDlg dlg(m_vendor->session());
        QElapsedTimer sinceOpen;
        QElapsedTimer sinceClose;
        bool pending = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            const bool waiting = vanished ? sinceOpen.elapsed() >= 300 : !requestsOf(vendercmd::ReadClock).empty();
            if (!waiting && sinceOpen.elapsed() < 5000)
                return;
            poll.stop();
            pending = dlg.VenderBusy();
            sinceClose.start();
            testutil::closeBy(how, dlg, dlg.item(1));
        });
        QTimer::singleShot(0, this, [&] {
            sinceOpen.start();
            poll.start();
        });
        dlg.runModal();
        const qint64 closedMs = sinceClose.elapsed();
        QVERIFY(pending);
        QVERIFY2(closedMs < 500, qPrintable(QString::number(closedMs)));
        QVERIFY(!dlg.isVisible());
        QVERIFY(workerIdle(1000));
        QVERIFY(!m_vendor->vender.IsConnected());
        QVERIFY(m_ui->boxes->boxes().empty());
    }
};

QTEST_MAIN(TestClockSetDlg)
#include "test_clocksetdlg.moc"
