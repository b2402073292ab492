// The vendor address dialog: what it shows, what OK refuses, stores and writes, cancel, and
// the connection test against the simulated vendor, against a loopback port with nothing
// listening and against a loopback listener that never answers; the main window's command
// that runs it. Loopback only: addresses of other networks are typed, refused or written,
// never connected to.
#include "app/quorvelapp.h"
#include "app/quorveldlg.h"
#include "app/venderaddrdlg.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/ui/filedialog.h"
#include "platform/fonts.h"
#include "platform/ui/messagebox.h"
#include "platform/profile.h"
#include "support/testutil.h"
#include "texts/app.h"
#include "vendorsim/vendorsim.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/ui/windowinput.h"

#include <ctime>
#include <functional>
#include <memory>

using platform::MsgIcon;
using Dlg = CVenderAddrDlg;

namespace {

// The application object with its settings loaded from the working directory.
class App : public CQuorvelApp {
public:
    void load() { LoadSettings(); }
};

QString u(const char *cp932)
{
    return platform::fromCp932(cp932);
}

QString resultText(Dlg &d)
{
    return d.item<QPlainTextEdit>(Dlg::IDC_RESULT)->toPlainText();
}

void typeInto(Dlg &d, int id, const QString &text)
{
    auto *e = d.item<QLineEdit>(id);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
}

} // namespace

class TestVenderAddrDlg : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_startDir;
    std::unique_ptr<platform::ScriptedMessageBoxes> m_boxes;

    std::string ini() const { return m_dir->filePath(QStringLiteral("quorvel.ini")).toStdString(); }
    std::string iniBytes() const
    {
        std::string b;
        platform::readWholeFile(ini(), b, platform::kMaxProfileFileSize);
        return b;
    }
    // Runs the dialog modally; `operate` plays the operator once it is up.
    static int run(Dlg &dlg, const std::function<void(Dlg &)> &operate)
    {
        QTimer::singleShot(0, &dlg, [&dlg, operate] { operate(dlg); });
        return dlg.runModal();
    }
    // Starts a connection test from the boxes' contents and waits for its result.
    static QString testConnection(Dlg &d, const QString &host, uint16_t port)
    {
        typeInto(d, Dlg::IDC_ADDRESS, host);
        typeInto(d, Dlg::IDC_PORT, QString::number(port));
        const QString before = resultText(d);
        windowClick(d.item(Dlg::IDC_TEST));
        if (!d.TestRunning()) {
            // A refused connect can end the test within the click's own event processing.
            const QString now = resultText(d);
            return now != before && now != u(apptext::kTestRunning) ? now : QStringLiteral("(not started)");
        }
        const QString running = resultText(d);
        if (running != u(apptext::kTestRunning) || d.item(Dlg::IDC_TEST)->isEnabled())
            return QStringLiteral("(no running state: ") + running + QLatin1Char(')');
        if (!waitForResult(d))
            return QStringLiteral("(no result)");
        return resultText(d);
    }
    // Turns the event loop until the running test has shown its result.
    static bool waitForResult(Dlg &d, int timeoutMs = 30000)
    {
        QElapsedTimer t;
        t.start();
        while (d.TestRunning() && t.elapsed() < timeoutMs)
            QTest::qWait(10);
        return !d.TestRunning();
    }

private slots:
    void initTestCase()
    {
        platform::installFontSubstitutions();
        QVERIFY(platform::currentDirectory(m_startDir));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(platform::setCurrentDirectory(m_dir->path().toStdString()));
        m_boxes = std::make_unique<platform::ScriptedMessageBoxes>();
    }
    void cleanup()
    {
        platform::setCurrentDirectory(m_startDir);
        m_boxes.reset();
        m_dir.reset();
    }

    void layoutFollowsTemplate150()
    {
        App app;
        Dlg dlg(app);
        QCOMPARE(dlg.windowTitle(), QString::fromUtf8("接続先設定"));
        const platform::DialogUnits &du = dlg.units();
        QCOMPARE(dlg.size(), QSize(du.x(200), du.y(120)));
        QCOMPARE(dlg.dialogTemplate().fontFace, QString::fromUtf8("ＭＳ Ｐゴシック"));
        QCOMPARE(dlg.dialogTemplate().fontPoints, 9);
        QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);

        const struct {
            int id;
            const char *kind;
            const char *text;
            QRect rect;
        } controls[] = {
            {Dlg::IDC_ADDRESS, "QLineEdit", "", QRect(55, 10, 135, 12)},
            {Dlg::IDC_PORT, "QLineEdit", "", QRect(55, 28, 40, 12)},
            {Dlg::IDC_TEST, "QPushButton", "接続テスト", QRect(130, 27, 60, 14)},
            {Dlg::IDC_RESULT, "QPlainTextEdit", "", QRect(10, 48, 180, 44)},
            {1, "QPushButton", "OK", QRect(84, 100, 50, 14)},
            {2, "QPushButton", "ｷｬﾝｾﾙ", QRect(140, 100, 50, 14)},
        };
        for (const auto &c : controls) {
            QWidget *w = dlg.item(c.id);
            QVERIFY2(w, qPrintable(QString::number(c.id)));
            QCOMPARE(w->metaObject()->className(), c.kind);
            QCOMPARE(w->geometry(), du.rect(c.rect));
            if (auto *b = qobject_cast<QPushButton *>(w))
                QCOMPARE(b->text(), QString::fromUtf8(c.text));
        }
        QVERIFY(dlg.item<QPushButton>(1)->isDefault());
        QVERIFY(dlg.item<QLineEdit>(Dlg::IDC_ADDRESS)->hasFrame());
        auto *result = dlg.item<QPlainTextEdit>(Dlg::IDC_RESULT);
        QVERIFY(result->isReadOnly());
        QCOMPARE(result->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QVERIFY(result->textInteractionFlags() & Qt::TextSelectableByKeyboard);

        QStringList statics;
        for (QLabel *l : dlg.findChildren<QLabel *>())
            statics << l->text();
        statics.sort();
        QCOMPARE(statics, QStringList({QString::fromUtf8("アドレス："), QString::fromUtf8("ポート：")}));
    }

    void opensOnTheAddressInForce_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no settings file
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        const QByteArray file("[VENDER]\r\nADDRESS=192.0.2.10\r\nPORT=10004\r\n");
        QTest::newRow("defaults") << QByteArray() << QStringList() << "127.0.0.1" << "9004";
        QTest::newRow("the file's") << file << QStringList() << "192.0.2.10" << "10004";
        QTest::newRow("the command line's") << file << QStringList({"--host", "::1", "--port", "19004"}) << "::1"
                                            << "19004";
        QTest::newRow("a malformed file value") << QByteArray("[VENDER]\r\nADDRESS=vendor\r\nPORT=0\r\n")
                                                << QStringList() << "127.0.0.1" << "9004";
    }
    void opensOnTheAddressInForce()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, args);
        QFETCH(QString, address);
        QFETCH(QString, port);
        if (!file.isEmpty())
            QVERIFY(platform::writeFileAtomically(ini(), file.toStdString()));
        App app;
        std::string message;
        QCOMPARE(app.ParseCommandLine(QStringList{"quorvel"} + args, message), CQuorvelApp::ParseResult::Run);
        app.load();
        Dlg dlg(app);
        QString seenAddress, seenPort, seenResult;
        run(dlg, [&](Dlg &d) {
            seenAddress = d.item<QLineEdit>(Dlg::IDC_ADDRESS)->text();
            seenPort = d.item<QLineEdit>(Dlg::IDC_PORT)->text();
            seenResult = resultText(d);
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QCOMPARE(seenAddress, address);
        QCOMPARE(seenPort, port);
        QCOMPARE(seenResult, QString());
    }

    void okWritesOnlyTheTwoKeys_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("keys there")
            << QByteArray("; Quorvel settings, shop 12\r\n[PC]\r\nCOMPORT = COM2\r\n; rate by hand\r\nCOMRATE=19200\r\n"
                          "\r\n[Vender]\r\nPRTTYPE=0\r\n  address = 192.0.2.1\r\nSHOPLOGO=1\r\nport=10004\r\n"
                          "[Mine]\r\nADDRESS=keep me\r\n")
            << QByteArray("; Quorvel settings, shop 12\r\n[PC]\r\nCOMPORT = COM2\r\n; rate by hand\r\nCOMRATE=19200\r\n"
                          "\r\n[Vender]\r\nPRTTYPE=0\r\naddress=::1\r\nSHOPLOGO=1\r\nport=19004\r\n"
                          "[Mine]\r\nADDRESS=keep me\r\n");
        // Added after the section's last line that is not blank (a comment counts).
        QTest::newRow("keys absent")
            << QByteArray("[VENDER]\r\nPRTTYPE=0\r\n\r\n[PC]\r\nCOMRATE=9600\r\n; the serial side\r\n")
            << QByteArray("[VENDER]\r\nPRTTYPE=0\r\nADDRESS=::1\r\nPORT=19004\r\n\r\n[PC]\r\nCOMRATE=9600\r\n"
                          "; the serial side\r\n");
        QTest::newRow("no file") << QByteArray() << QByteArray("[VENDER]\r\nADDRESS=::1\r\nPORT=19004\r\n");
    }
    void okWritesOnlyTheTwoKeys()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        if (!before.isEmpty())
            QVERIFY(platform::writeFileAtomically(ini(), before.toStdString()));
        App app;
        app.load();
        const std::string comport = app.COMPORT;
        Dlg dlg(app);
        const int r = run(dlg, [](Dlg &d) {
            typeInto(d, Dlg::IDC_ADDRESS, QStringLiteral(" ::1 ")); // blanks around are dropped
            typeInto(d, Dlg::IDC_PORT, QStringLiteral("19004"));
            windowClick(d.item(1));
        });
        QCOMPARE(r, int(platform::IDOK));
        QVERIFY(m_boxes->boxes().empty());
        QCOMPARE(QByteArray::fromStdString(iniBytes()), after);
        QCOMPARE(app.host(), std::string("::1"));
        QCOMPARE(app.port(), uint16_t(19004));
        QCOMPARE(app.COMPORT, comport);

        // The next start reads what OK wrote.
        App next;
        next.load();
        QCOMPARE(next.host(), std::string("::1"));
        QCOMPARE(next.port(), uint16_t(19004));
    }

    void malformedInputIsRefused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("badField");
        QTest::addColumn<bool>("viaTest"); // the connection test refuses it just as OK does
        const int a = Dlg::IDC_ADDRESS;
        const int p = Dlg::IDC_PORT;
        QTest::newRow("a name") << "vendor.local" << "9004" << a << false;
        QTest::newRow("empty address") << "" << "9004" << a << false;
        QTest::newRow("three parts") << "192.0.2" << "9004" << a << false;
        QTest::newRow("address with a port") << "127.0.0.1:9004" << "9004" << a << false;
        QTest::newRow("both bad: the address first") << "x" << "0" << a << false;
        QTest::newRow("port 0") << "127.0.0.1" << "0" << p << false;
        QTest::newRow("port 65536") << "127.0.0.1" << "65536" << p << false;
        QTest::newRow("port +80") << "127.0.0.1" << "+80" << p << false;
        QTest::newRow("port empty") << "127.0.0.1" << "" << p << false;
        QTest::newRow("port 80x") << "::1" << "80x" << p << false;
        QTest::newRow("test: a name") << "vendor.local" << "9004" << a << true;
        QTest::newRow("test: port -1") << "127.0.0.1" << "-1" << p << true;
    }
    void malformedInputIsRefused()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(int, badField);
        QFETCH(bool, viaTest);
        const std::string before = "; mine\r\n[VENDER]\r\nADDRESS=127.0.0.2\r\n";
        QVERIFY(platform::writeFileAtomically(ini(), before));
        App app;
        app.load();
        Dlg dlg(app);
        bool stayedOpen = false;
        QWidget *focus = nullptr;
        QString resultAfter;
        bool started = true;
        const int r = run(dlg, [&](Dlg &d) {
            typeInto(d, Dlg::IDC_ADDRESS, address);
            typeInto(d, Dlg::IDC_PORT, port);
            d.item(2)->setFocus(); // away from both boxes, so the focus shows which one was refused
            windowClick(d.item(viaTest ? int(Dlg::IDC_TEST) : 1));
            stayedOpen = d.isVisible();
            focus = d.focusWidget();
            started = d.TestRunning();
            resultAfter = resultText(d);
            windowClick(d.item(2));
        });
        QCOMPARE(r, int(platform::IDCANCEL));
        QVERIFY(stayedOpen);
        QCOMPARE(focus, dlg.item(badField));
        QVERIFY(!started);
        QCOMPARE(resultAfter, QString());
        QCOMPARE(m_boxes->boxes().size(), size_t(1));
        const auto &box = m_boxes->boxes()[0];
        QCOMPARE(box.icon, MsgIcon::Exclamation);
        QCOMPARE(box.text, std::string(badField == Dlg::IDC_ADDRESS ? apptext::kMsgBadAddress : apptext::kMsgBadPort));
        QCOMPARE(app.host(), std::string("127.0.0.2"));
        QCOMPARE(app.port(), uint16_t(9004));
        QCOMPARE(iniBytes(), before);
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("ｷｬﾝｾﾙ") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelChangesNothing()
    {
        QFETCH(int, how);
        const std::string before = "; kept\r\n[VENDER]\r\nADDRESS=::1\r\nPORT=19004\r\n";
        QVERIFY(platform::writeFileAtomically(ini(), before));
        App app;
        app.load();
        Dlg dlg(app);
        const int r = run(dlg, [how](Dlg &d) {
            typeInto(d, Dlg::IDC_ADDRESS, QStringLiteral("127.0.0.3"));
            typeInto(d, Dlg::IDC_PORT, QStringLiteral("9005"));
            switch (how) {
            case 0: windowClick(d.item(2)); break;
            case 1: QTest::keyClick(&d, Qt::Key_Escape); break;
            case 2: d.close(); break;
            }
        });
        QCOMPARE(r, int(platform::IDCANCEL));
        QCOMPARE(app.host(), std::string("::1"));
        QCOMPARE(app.port(), uint16_t(19004));
        QCOMPARE(iniBytes(), before);
        QVERIFY(m_boxes->boxes().empty());
    }

    void aFailedWriteIsToldAndTheAddressHoldsForThisRun()
    {
        // A folder where the settings file should be: it cannot be replaced.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("quorvel.ini")));
        App app;
        app.load();
        Dlg dlg(app);
        const int r = run(dlg, [](Dlg &d) {
            typeInto(d, Dlg::IDC_ADDRESS, QStringLiteral("127.0.0.4"));
            typeInto(d, Dlg::IDC_PORT, QStringLiteral("9006"));
            QTest::keyClick(d.item(Dlg::IDC_PORT), Qt::Key_Return);
        });
        QCOMPARE(r, int(platform::IDOK));
        QCOMPARE(m_boxes->boxes().size(), size_t(1));
        QCOMPARE(m_boxes->boxes()[0].icon, MsgIcon::Exclamation);
        QCOMPARE(m_boxes->boxes()[0].text, std::string(apptext::kMsgSaveFailed));
        QCOMPARE(app.host(), std::string("127.0.0.4"));
        QCOMPARE(app.port(), uint16_t(9006));
        QVERIFY(QFileInfo(QString::fromStdString(ini())).isDir());
    }

    void connectionTestShowsTheVendorsClockAndNumber_data()
    {
        QTest::addColumn<QString>("bind");
        QTest::newRow("IPv4") << "127.0.0.1";
        QTest::newRow("IPv6") << "::1";
    }
    void connectionTestShowsTheVendorsClockAndNumber()
    {
        QFETCH(QString, bind);
        vendorsim::Options o;
        o.port = 0;
        o.bindAddress = bind.toStdString();
        o.deviceNumber = "SHOP01";
        vendorsim::Simulator sim(o);
        if (!sim.start()) {
            QVERIFY(bind != QLatin1String("127.0.0.1"));
            QSKIP("no IPv6 loopback here");
        }
        // The vendor's clock at 15 June 2025, 12:00:00 local time (and running on).
        std::tm tm{};
        tm.tm_year = 125;
        tm.tm_mon = 5;
        tm.tm_mday = 15;
        tm.tm_hour = 12;
        tm.tm_isdst = -1;
        sim.setClockOffset((long long)std::mktime(&tm) - (long long)std::time(nullptr));

        App app;
        app.load();
        Dlg dlg(app);
        QString result;
        run(dlg, [&](Dlg &d) {
            result = testConnection(d, bind, sim.port());
            windowClick(d.item(2));
        });
        const QStringList lines = result.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QString::fromUtf8("接続先：%1  ポート：%2").arg(bind).arg(sim.port()));
        QCOMPARE(lines[1], QString::fromUtf8("接続できました。"));
        QVERIFY2(QRegularExpression(QString::fromUtf8("^装置時計：25/06/15 12:00:[0-5][0-9]$")).match(lines[2]).hasMatch(),
                 qPrintable(lines[2]));
        QCOMPARE(lines[3], QString::fromUtf8("装置番号：SHOP01"));
        QVERIFY(m_boxes->boxes().empty());
        // The test used a vendor object of its own and left the address in force alone.
        QVERIFY(!app.Vender().IsConnected());
        QCOMPARE(app.host(), std::string("127.0.0.1"));
        QCOMPARE(app.port(), uint16_t(9004));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(ini())));
    }

    void connectionTestShowsWhyItFailed()
    {
        // A vendor whose device number is not set, then nothing listening.
        vendorsim::Options o;
        o.port = 0;
        vendorsim::Simulator sim(o);
        QVERIFY(sim.start());
        const uint16_t nobody = testutil::portWithNothingListening();
        App app;
        app.load();
        Dlg dlg(app);
        QString unset, refused, again;
        bool enabledAfter = false;
        run(dlg, [&](Dlg &d) {
            unset = testConnection(d, QStringLiteral("127.0.0.1"), sim.port());
            refused = testConnection(d, QStringLiteral("127.0.0.1"), nobody);
            enabledAfter = d.item(Dlg::IDC_TEST)->isEnabled();
            windowClick(d.item(2));
        });
        QVERIFY2(unset.endsWith(QString::fromUtf8("装置番号：(未設定)")), qPrintable(unset));
        QCOMPARE(refused, QString::fromUtf8("接続先：127.0.0.1  ポート：%1\n通信できません。\n"
                                            "接続先に接続できませんでした。環境を確認してください。")
                              .arg(nobody));
        QVERIFY(enabledAfter);
        QVERIFY(m_boxes->boxes().empty());
    }

    void aVendorThatAcceptsButNeverAnswers()
    {
        testutil::Listener silent(64); // takes connections (from its backlog), never answers
        QVERIFY(silent.ok);
        const QString target = QString::fromUtf8("接続先：127.0.0.1  ポート：%1\n").arg(silent.port);
        const QString failed = target + QString::fromUtf8("通信できません：装置時計を読めませんでした。");
        App app;
        app.load();

        // The window keeps turning while the test waits for the vendor, and the result comes.
        {
            Dlg dlg(app);
            int ticks = 0;
            qint64 longestGap = 0;
            bool started = false;
            QString result;
            run(dlg, [&](Dlg &d) {
                typeInto(d, Dlg::IDC_ADDRESS, QStringLiteral("127.0.0.1"));
                typeInto(d, Dlg::IDC_PORT, QString::number(silent.port));
                windowClick(d.item(Dlg::IDC_TEST));
                started = d.TestRunning();
                QElapsedTimer clock;
                clock.start();
                qint64 last = 0;
                QTimer beat;
                QObject::connect(&beat, &QTimer::timeout, [&] {
                    ++ticks;
                    longestGap = std::max(longestGap, clock.elapsed() - last);
                    last = clock.elapsed();
                });
                beat.start(20);
                waitForResult(d);
                beat.stop();
                result = resultText(d);
                windowClick(d.item(2));
            });
            QVERIFY(started);
            QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
            QVERIFY2(longestGap < 250, qPrintable(QString::number(longestGap)));
            QCOMPARE(result, failed);
        }

        // Closed while the test runs: the dialog goes at once, and the worker's late result
        // finds no dialog.
        QElapsedTimer closing;
        bool started = false;
        bool cancelEnabled = false;
        {
            Dlg dlg(app);
            run(dlg, [&](Dlg &d) {
                typeInto(d, Dlg::IDC_ADDRESS, QStringLiteral("127.0.0.1"));
                typeInto(d, Dlg::IDC_PORT, QString::number(silent.port));
                windowClick(d.item(Dlg::IDC_TEST));
                started = d.TestRunning();
                QTest::qWait(300);
                cancelEnabled = d.item(2)->isEnabled() && d.item(1)->isEnabled();
                closing.start();
                windowClick(d.item(2));
            });
        }
        QVERIFY(started);
        QVERIFY(cancelEnabled);
        QVERIFY2(closing.elapsed() < 500, qPrintable(QString::number(closing.elapsed())));
        QVERIFY(Dlg::TestsUnderWay() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(Dlg::TestsUnderWay(), 0, 30000);
        QTest::qWait(50); // anything the worker posted has been delivered (or dropped) by now
        QVERIFY(m_boxes->boxes().empty());
    }

    void theResultCanBeSelectedAndCopiedWithTheKeys()
    {
        const uint16_t nobody = testutil::portWithNothingListening();
        App app;
        app.load();
        Dlg dlg(app);
        QString shownText, firstLine, copiedLine, copiedAll, afterTyping;
        QWidget *tabbedTo = nullptr;
        run(dlg, [&](Dlg &d) {
            testConnection(d, QStringLiteral("127.0.0.1"), nobody);
            auto *box = d.item<QPlainTextEdit>(Dlg::IDC_RESULT);
            shownText = box->toPlainText();
            firstLine = shownText.section(QLatin1Char('\n'), 0, 0);
            // Tab from the test button reaches the result box.
            d.item(Dlg::IDC_TEST)->setFocus();
            QTest::keyClick(d.item(Dlg::IDC_TEST), Qt::Key_Tab);
            tabbedTo = d.focusWidget();
            // Selecting with the cursor keys, then all of it.
            QApplication::clipboard()->clear();
            QTest::keyClick(box, Qt::Key_Home, Qt::ControlModifier);
            QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            copiedLine = QApplication::clipboard()->text();
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            copiedAll = QApplication::clipboard()->text();
            QTest::keyClicks(box, QStringLiteral("xyz"));
            QTest::keyClick(box, Qt::Key_Delete);
            afterTyping = box->toPlainText();
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QVERIFY(shownText.contains(QString::fromUtf8("通信できません")));
        QCOMPARE(tabbedTo, dlg.item(Dlg::IDC_RESULT));
        QCOMPARE(copiedLine, firstLine);
        QCOMPARE(copiedAll, shownText);
        QCOMPARE(afterTyping, shownText); // read-only
    }

    void windowMenuRunsIt()
    {
        App app;
        app.load();
        CQuorvelDlg main(app);
        main.create();
        main.show();
        QAction *entry = nullptr;
        for (QAction *a : main.windowMenu()->actions())
            if (a->text() == QString::fromUtf8("接続先設定..."))
                entry = a;
        QVERIFY(entry);
        emit main.windowMenu()->aboutToShow();
        QVERIFY(entry->isEnabled());
        int templateId = 0;
        QTimer::singleShot(0, this, [&templateId] {
            auto *dlg = qobject_cast<platform::Dialog *>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            templateId = dlg->templateId();
            auto *address = dlg->item<QLineEdit>(Dlg::IDC_ADDRESS);
            address->selectAll();
            QTest::keyClicks(address, QStringLiteral("::1"));
            windowClick(dlg->item(1));
        });
        entry->trigger();
        QCOMPARE(templateId, int(Dlg::IDD));
        QCOMPARE(app.host(), std::string("::1"));
        QCOMPARE(platform::readProfileString(ini(), "VENDER", "ADDRESS", "", 64), std::string("::1"));
        QCOMPARE(platform::readProfileString(ini(), "VENDER", "PORT", "", 16), std::string("9004"));
    }
};

QTEST_MAIN(TestVenderAddrDlg)
#include "test_venderaddrdlg.moc"
