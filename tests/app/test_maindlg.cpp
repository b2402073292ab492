// The main window: its layout, window menu, about box, the dialogs it launches, and how it
// ends.
#include "app/aboutdlg.h"
#include "app/configdlg.h"
#include "app/quorvelapp.h"
#include "app/quorveldlg.h"
#include "clock/ui/clocksetdlg.h"
#include "logo/ui/shopdlg.h"
#include "platform/codepage.h"
#include "platform/fonts.h"
#include "platform/ui/messagebox.h"
#include "support/testutil.h"
#include "vendorui/venderdialog.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "support/ui/windowinput.h"

using platform::Dialog;

namespace {

QStringList menuTexts(QMenu *m)
{
    QStringList out;
    for (QAction *a : m->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QAction *menuAction(QMenu *m, const QString &text)
{
    for (QAction *a : m->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class TestMainDlg : public QObject {
    Q_OBJECT
    // The application object the window is made by, pointed at a loopback port nobody
    // listens on, so the clock dialog finds no vendor.
    CQuorvelApp m_app;

private slots:
    void initTestCase()
    {
        platform::installFontSubstitutions();
        std::string message;
        const QString port = QString::number(testutil::portWithNothingListening());
        QCOMPARE(m_app.ParseCommandLine({QStringLiteral("quorvel"), QStringLiteral("--port"), port}, message),
                 CQuorvelApp::ParseResult::Run);
    }

    void layoutFollowsTemplate103()
    {
        CQuorvelDlg dlg(m_app);
        QVERIFY(dlg.create());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Pelmora"));
        QCOMPARE(dlg.font().pixelSize(), 15); // 11 points
        QCOMPARE(QFontInfo(dlg.font()).family(), QStringLiteral("IPAPGothic"));
        const platform::DialogUnits &u = dlg.units();
        QCOMPARE(dlg.size(), QSize(u.x(243), u.y(239)));
        struct Button {
            int id;
            const char *text;
            QRect rect;
        };
        const Button buttons[] = {
            {1019, "領収書店名設定", QRect(17, 23, 199, 74)},
            {1007, "時計設定", QRect(17, 109, 199, 71)},
            {1, "終了", QRect(17, 192, 199, 28)},
        };
        for (const Button &b : buttons) {
            auto *w = dlg.item<QPushButton>(b.id);
            QVERIFY(w);
            QCOMPARE(w->text(), QString::fromUtf8(b.text));
            QCOMPARE(w->geometry(), u.rect(b.rect));
        }
        QVERIFY(dlg.item<QPushButton>(1)->isDefault());
        QVERIFY(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(dlg.windowType(), Qt::Window);
        QVERIFY(!dlg.windowIcon().isNull());
        QVERIFY(dlg.hasHandler(1019) && dlg.hasHandler(1007));
    }

    void windowMenuOffersTheCommandsWithoutControls()
    {
        CQuorvelDlg dlg(m_app);
        dlg.create();
        QMenu *menu = dlg.windowMenu();
        QVERIFY(menu);
        QCOMPARE(menuTexts(menu), QStringList({QString::fromUtf8("通信設定..."), QString::fromUtf8("接続先設定..."),
                                               QString::fromUtf8("MFP設定..."), QStringLiteral("-"),
                                               QString::fromUtf8("バージョン情報 Pelmora(&A)...")}));
        QAction *comm = menuAction(menu, QString::fromUtf8("通信設定..."));
        QAction *mfp = menuAction(menu, QString::fromUtf8("MFP設定..."));
        QAction *addr = menuAction(menu, QString::fromUtf8("接続先設定..."));
        QCOMPARE(comm->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
        QCOMPARE(addr->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        QCOMPARE(addr->data().toInt(), int(CQuorvelDlg::ID_VENDERADDRESS));
        QCOMPARE(mfp->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
        // Routed through the command table; greyed out while their dialogs are missing.
        QCOMPARE(comm->isEnabled(), dlg.hasHandler(CQuorvelDlg::ID_COMMSETTINGS));
        QCOMPARE(mfp->isEnabled(), dlg.hasHandler(CQuorvelDlg::ID_MFPSETTINGS));
        QVERIFY(dlg.hasHandler(CQuorvelDlg::ID_VENDERADDRESS));
        QCOMPARE(addr->isEnabled(), true);
        QVERIFY(menuAction(menu, QString::fromUtf8("バージョン情報 Pelmora(&A)..."))->isEnabled());
    }

    void windowMenuOpensFromBackgroundMenuKeyAndShiftF10()
    {
        CQuorvelDlg dlg(m_app);
        dlg.create();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QMenu *menu = dlg.windowMenu();

        // A right click on a button is the button's, not the window's.
        const QPoint onButton = dlg.item(1019)->geometry().center();
        QContextMenuEvent overButton(QContextMenuEvent::Mouse, onButton, dlg.mapToGlobal(onButton));
        QApplication::sendEvent(dlg.item(1019), &overButton);
        QVERIFY(!menu->isVisible());

        const QPoint background(4, 4);
        QVERIFY(!dlg.childAt(background));
        QContextMenuEvent right(QContextMenuEvent::Mouse, background, dlg.mapToGlobal(background));
        QApplication::sendEvent(&dlg, &right);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();

        dlg.item(1019)->setFocus();
        QTest::keyClick(dlg.item(1019), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        QTest::keyClick(dlg.item(1007), Qt::Key_Menu);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }

    void aboutCommandRunsTheAboutBoxAndComesBack()
    {
        CQuorvelDlg dlg(m_app);
        dlg.create();
        dlg.show();
        QString caption, text, face;
        int templateId = 0;
        QTimer::singleShot(0, this, [&] {
            auto *about = qobject_cast<Dialog *>(QApplication::activeModalWidget());
            QVERIFY(about);
            templateId = about->templateId();
            caption = about->windowTitle();
            text = about->findChild<QLabel *>()->text();
            face = QFontInfo(about->font()).family();
            windowClick(about->item(1));
        });
        menuAction(dlg.windowMenu(), QString::fromUtf8("バージョン情報 Pelmora(&A)..."))->trigger();
        QCOMPARE(templateId, int(CAboutDlg::IDD));
        QCOMPARE(caption, QString::fromUtf8("バージョン情報 Pelmora"));
        QCOMPARE(text, QStringLiteral("Pelmora Version 1.00"));
        QCOMPARE(face, QStringLiteral("IPAPGothic")); // "MS UI Gothic"
        QVERIFY(dlg.isVisible());
        QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &dlg);

        // The low four bits do not matter; the desktop's own commands (0xF000 and up) are not ours.
        QTimer::singleShot(0, this, [] {
            if (auto *about = qobject_cast<Dialog *>(QApplication::activeModalWidget()))
                about->endDialog(platform::IDOK);
        });
        dlg.OnSysCommand(CQuorvelDlg::IDM_ABOUTBOX | 0xF);
        QWidget *seen = nullptr;
        QTimer::singleShot(0, this, [&seen] { seen = QApplication::activeModalWidget(); });
        dlg.OnSysCommand(0xF060);
        QCoreApplication::processEvents();
        QVERIFY(!seen);
    }

    void endsWithItsButtonEscapeOrTheCloseBox_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("終了") << 0 << int(platform::IDOK);
        QTest::newRow("Esc") << 1 << int(platform::IDCANCEL);
        QTest::newRow("close box") << 2 << int(platform::IDCANCEL);
        QTest::newRow("Enter on the default button") << 3 << int(platform::IDOK);
    }
    void endsWithItsButtonEscapeOrTheCloseBox()
    {
        QFETCH(int, how);
        QFETCH(int, result);
        CQuorvelDlg dlg(m_app);
        QTimer::singleShot(0, &dlg, [&dlg, how] {
            switch (how) {
            case 0: windowClick(dlg.item(1)); break;
            case 1: QTest::keyClick(&dlg, Qt::Key_Escape); break;
            case 2: dlg.close(); break;
            case 3:
                dlg.item(1)->setFocus();
                QTest::keyClick(dlg.item(1), Qt::Key_Return);
                break;
            }
        });
        QCOMPARE(dlg.runModal(), result);
        QVERIFY(dlg.isHidden());
    }

    // Each launcher command runs its dialog modally, with what the window was handed by the
    // application object (the clock dialog opens the application's vendor, which is not
    // there and says so), and comes back to the window as it was.
    void launcherCommandsRunTheirDialogs_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("dialog");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("時計設定") << int(CQuorvelDlg::IDC_CLOCKSET) << int(CClockSetDlg::IDD)
                                  << QStringList{QString::fromUtf8("通信できません。\n環境を確認してください。")};
        QTest::newRow("通信設定...") << int(CQuorvelDlg::ID_COMMSETTINGS) << int(CConfigDlg::IDD) << QStringList{};
        QTest::newRow("領収書店名設定") << int(CQuorvelDlg::IDC_SHOPLOGO) << int(CShopDlg::IDD)
                                      << QStringList{QString::fromUtf8("通信できません。\n環境を確認してください。")};
    }
    void launcherCommandsRunTheirDialogs()
    {
        QFETCH(int, command);
        QFETCH(int, dialog);
        QFETCH(QStringList, boxes);
        platform::ScriptedMessageBoxes shown;
        CQuorvelDlg dlg(m_app);
        dlg.create();
        dlg.show();
        int ran = 0;
        QTimer::singleShot(0, this, [&] {
            // Whatever runs is closed, so that a wrong dialog fails the test instead of
            // hanging it; a vendor dialog once its opening has ended and said what came of it.
            if (auto *running = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                ran = running->templateId();
                auto *vendor = qobject_cast<CVenderDialog *>(running);
                if (vendor && !QTest::qWaitFor([vendor] { return !vendor->VenderBusy(); }, 5000))
                    qWarning("the session's opening did not end");
                running->endDialog(platform::IDCANCEL);
            }
        });
        if (command == CQuorvelDlg::IDC_CLOCKSET || command == CQuorvelDlg::IDC_SHOPLOGO)
            windowClick(dlg.item(command));
        else
            menuAction(dlg.windowMenu(), QString::fromUtf8("通信設定..."))->trigger();
        QCOMPARE(ran, dialog);
        QStringList texts;
        for (const auto &box : shown.boxes())
            texts << platform::fromCp932(box.text);
        QCOMPARE(texts, boxes);
        QVERIFY(dlg.isVisible() && dlg.isEnabled());
        QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &dlg);
    }
};

QTEST_MAIN(TestMainDlg)
#include "test_maindlg.moc"
