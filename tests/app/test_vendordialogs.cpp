// The vendor dialogs run from the main window as the program runs them, against the
// simulated vendor: each runs modally, its session opens with it and closes with it.
#include "app/quorvelapp.h"
#include "app/quorveldlg.h"
#include "clock/ui/clocksetdlg.h"
#include "logo/ui/shopdlg.h"
#include "mfp/ui/mfpcnfdlg.h"
#include "platform/fonts.h"
#include "platform/ui/dialog.h"
#include "support/simulator.h"
#include "support/ui/dialogfixture.h"
#include "vendorsim/vendorsim.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QtTest>

#include "support/ui/windowinput.h"

#include <memory>
#include <string>

using testutil::Close;

class TestVendorDialogs : public QObject {
    Q_OBJECT

    // The application reads its settings from the fixture's folder.
    std::unique_ptr<testutil::DialogFixture> m_ui;
    std::unique_ptr<vendorsim::Simulator> m_sim;
    std::unique_ptr<CQuorvelApp> m_app;

    void startVendor(const std::string &deviceNumber = vendorsim::Options().deviceNumber)
    {
        vendorsim::Options o;
        o.port = 0;
        o.deviceNumber = deviceNumber;
        m_sim = std::make_unique<vendorsim::Simulator>(o);
        QVERIFY(m_sim->start());
        std::string message;
        QCOMPARE(m_app->ParseCommandLine({"quorvel", "--port", QString::number(m_sim->port())}, message),
                 CQuorvelApp::ParseResult::Run);
    }
    // The worker has nothing left to do, the session's close included.
    bool workerIdle(int ms = 2000)
    {
        return QTest::qWaitFor([this] { return m_app->VenderWorker().Idle(); }, ms);
    }
    // Waits until the worker has nothing left to do; what it did is then safe to read here.
    void waitForTheWorker() { QTRY_VERIFY_WITH_TIMEOUT(m_app->VenderWorker().Idle(), 15000); }

private slots:
    void initTestCase() { platform::installFontSubstitutions(); }
    void init()
    {
        m_ui = std::make_unique<testutil::DialogFixture>();
        QVERIFY(m_ui->ok());
        m_app = std::make_unique<CQuorvelApp>();
    }
    void cleanup()
    {
        m_app.reset();
        m_sim.reset();
        m_ui.reset();
    }

    // "時計設定" in the main window runs the dialog modally; "戻る", Esc or the close box
    // end it, and its connection closes with it.
    void clockRunsFromTheMainWindowAndClosesItsConnection_data() { testutil::addCloseRows(); }
    void clockRunsFromTheMainWindowAndClosesItsConnection()
    {
        QFETCH(Close, how);
        startVendor("SHOP01");
        CQuorvelDlg main(*m_app);
        main.create();
        main.show();
        int templateId = 0;
        bool connected = false;
        QTimer::singleShot(0, this, [&] {
            auto *dlg = qobject_cast<CClockSetDlg *>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            templateId = dlg->templateId();
            // The session opens on the worker; the dialog is closed whatever comes of it.
            connected = QTest::qWaitFor([dlg] { return !dlg->VenderBusy(); }, 5000) && m_app->Vender().IsConnected();
            QVERIFY(!main.isEnabled() || !main.isActiveWindow());
            testutil::closeBy(how, *dlg, dlg->item(1));
        });
        windowClick(main.item(CQuorvelDlg::IDC_CLOCKSET));
        QCOMPARE(templateId, int(CClockSetDlg::IDD));
        QVERIFY(connected);
        QVERIFY(workerIdle());
        QVERIFY(!m_app->Vender().IsConnected());
        QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &main);
    }

    // "領収書店名設定" in the main window runs the dialog modally; its connection lives
    // while it is open. Run as the program runs it (start-up, main window, button), the
    // preview takes the mouse from the first drag and lies beside the dialog on screen.
    void logoRunsFromTheMainWindow()
    {
        startVendor();
        int templateId = 0;
        bool connected = false;
        bool previewShown = false;
        bool previewBeside = false;
        TextLayer moved;
        int stage = 0; // 0: main window awaited, 1: logo dialog awaited, 2: done
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (stage == 0) {
                auto *main = static_cast<platform::Dialog *>(m_app->mainWindow());
                if (!main || !main->isVisible())
                    return;
                stage = 1;
                QTimer::singleShot(0, main, [main] {
                    windowClick(main->item(CQuorvelDlg::IDC_SHOPLOGO));
                });
            } else if (stage == 1) {
                auto *dlg = qobject_cast<CShopDlg *>(QApplication::activeModalWidget());
                if (!dlg || !dlg->Canvas().isVisible())
                    return;
                if (!m_app->VenderWorker().Idle())
                    return; // the session is still being opened
                stage = 2;
                templateId = dlg->templateId();
                connected = m_app->Vender().IsConnected();
                previewShown = true;
                previewBeside = !dlg->Canvas().frameGeometry().intersects(dlg->frameGeometry());
                drag(&dlg->Canvas(), QPoint(100, 50), QPoint(110, 55));
                moved = dlg->Layers()[0];
                windowClick(dlg->item(CShopDlg::IDC_BACK));
                auto *main = static_cast<platform::Dialog *>(m_app->mainWindow());
                QTimer::singleShot(0, main, [main] { windowClick(main->item(platform::IDOK)); });
            }
        });
        poll.start();
        m_app->InitInstance();
        poll.stop();
        QCOMPARE(templateId, int(CShopDlg::IDD));
        QVERIFY(connected);
        QVERIFY(previewShown);
        QVERIFY(previewBeside);
        QCOMPARE(moved.x, 10);
        QCOMPARE(moved.y, 5);
        waitForTheWorker();
        QVERIFY(!m_app->Vender().IsConnected());
    }

    // "MFP設定..." in the window menu (Ctrl+M) runs the dialog modally; its connection
    // lives while it is open, and closing it asks, sends and saves nothing.
    void mfpRunsFromTheWindowMenu()
    {
        startVendor();
        CQuorvelDlg main(*m_app);
        main.create();
        main.show();
        QAction *mfp = nullptr;
        for (QAction *a : main.windowMenu()->actions())
            if (a->text() == QString::fromUtf8("MFP設定..."))
                mfp = a;
        QVERIFY(mfp);
        QVERIFY(mfp->isEnabled());
        QCOMPARE(mfp->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
        int templateId = 0;
        bool connected = false;
        QTimer::singleShot(0, this, [&] {
            auto *dlg = qobject_cast<platform::Dialog *>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            templateId = dlg->templateId();
            const bool opened = QTest::qWaitFor([&] { return m_app->VenderWorker().Idle(); }, 5000);
            connected = opened && m_app->Vender().IsConnected();
            QTest::keyClick(dlg, Qt::Key_Escape);
        });
        mfp->trigger();
        QCOMPARE(templateId, int(CMfpcnfDlg::IDD));
        QVERIFY(connected);
        waitForTheWorker();
        QVERIFY(!m_app->Vender().IsConnected());
        QCOMPARE(m_sim->exchanges(), 0); // closing neither asks, sends nor saves
        QVERIFY(m_ui->boxes->boxes().empty());
    }
};

QTEST_MAIN(TestVendorDialogs)
#include "test_vendordialogs.moc"
