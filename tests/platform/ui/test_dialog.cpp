// Dialogs built from templates: the template format, dialog units, the controls, and the
// command table.
#include "platform/codepage.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/fonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace platform;

namespace {

DialogTemplate parse(const char *json)
{
    DialogTemplate t;
    QString error;
    if (!parseDialogTemplate(QByteArray(json), t, &error))
        qFatal("test template: %s", qPrintable(error));
    return t;
}

const char *kEveryKind = R"({
  "id": 9001, "caption": "試験", "size": [200, 160], "font": ["ＭＳ Ｐゴシック", 9],
  "style": ["caption", "sysmenu", "modalframe"],
  "controls": [
    { "id": 10, "kind": "edit", "rect": [5, 5, 60, 12], "style": ["border", "center"] },
    { "kind": "groupbox", "text": "枠", "rect": [2, 20, 196, 40] },
    { "id": 11, "kind": "radio", "text": "店名文字列", "rect": [8, 30, 50, 10], "style": ["group"] },
    { "id": 12, "kind": "radio", "text": "TEL文字列", "rect": [60, 30, 50, 10] },
    { "id": 13, "kind": "radio", "text": "384x128", "rect": [8, 44, 50, 10], "style": ["group"] },
    { "id": 14, "kind": "checkbox", "text": "&Check", "rect": [60, 44, 50, 10], "style": ["group"] },
    { "id": 20, "kind": "combo", "items": ["9600", "19200", "38400"], "rect": [5, 64, 60, 60], "style": ["sort"] },
    { "id": 21, "kind": "combo", "items": ["COM1", "COM2", "COM10"], "rect": [70, 64, 60, 60] },
    { "id": 30, "kind": "static", "text": "A&&B &x", "rect": [5, 82, 60, 8] },
    { "id": 31, "kind": "static", "rect": [70, 80, 80, 12], "style": ["center", "sunken"] },
    { "id": 32, "kind": "edit", "rect": [5, 96, 80, 30], "style": ["multiline", "wantreturn", "border"] },
    { "id": 33, "kind": "tree", "rect": [100, 96, 60, 30], "style": ["hasbuttons", "border"] },
    { "id": 40, "kind": "button", "text": "送信", "rect": [5, 140, 40, 14], "style": ["disabled"] },
    { "id": 41, "kind": "button", "text": "隠す", "rect": [50, 140, 40, 14], "style": ["hidden"] },
    { "id": 42, "kind": "button", "text": "押す", "rect": [95, 140, 40, 14] },
    { "id": 1, "kind": "defbutton", "text": "OK", "rect": [140, 140, 50, 14] }
  ] })";

// A dialog that records what reaches it.
class Recorder : public Dialog {
public:
    explicit Recorder(const DialogTemplate &t) : Dialog(t) { setCommandTable(kCommands); }
    ~Recorder() override { destroyWindow(); }

    QStringList log;
    bool keepOpenOnCancel = false;

    void OnEdit() { log << QStringLiteral("change 10"); }
    void OnRadio() { log << QStringLiteral("clicked 11"); }
    void OnPushed() { log << QStringLiteral("clicked 42"); }
    void OnSelChange() { log << QStringLiteral("selchange 20"); }
    void OnSelEndOk() { log << QStringLiteral("selendok 20"); }

protected:
    bool OnInitDialog() override
    {
        log << QStringLiteral("init");
        return true;
    }
    void OnCancel() override
    {
        log << QStringLiteral("cancel");
        if (!keepOpenOnCancel)
            Dialog::OnCancel();
    }
    void OnTimer(int id) override { log << QStringLiteral("timer %1").arg(id); }
    void OnDestroy() override { log << QStringLiteral("destroy"); }

private:
    static const CommandTable<Recorder> kCommands;
};

const CommandTable<Recorder> Recorder::kCommands = {
    {10, Notify::Change, &Recorder::OnEdit},
    {11, Notify::Clicked, &Recorder::OnRadio},
    {42, Notify::Clicked, &Recorder::OnPushed},
    {20, Notify::SelChange, &Recorder::OnSelChange},
    {20, Notify::SelEndOk, &Recorder::OnSelEndOk},
    {500, Notify::Command, nullptr}, // known, not available yet
};

} // namespace

class TestDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutions(); }

    void everyTemplateOfTheProgramIsValid()
    {
        const std::vector<int> ids = dialogTemplateIds();
        QVERIFY(std::find(ids.begin(), ids.end(), 100) != ids.end());
        QVERIFY(std::find(ids.begin(), ids.end(), 103) != ids.end());
        for (int id : ids) {
            DialogTemplate t;
            QString error;
            QVERIFY2(loadDialogTemplate(id, t, &error), qPrintable(QStringLiteral("%1: %2").arg(id).arg(error)));
        }
        DialogTemplate t;
        QVERIFY(!loadDialogTemplate(4242, t));
    }

    void mistakesInATemplateAreRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray head = R"({"id": 1, "size": [10, 10], "font": ["x", 9], "controls": [)";
        QTest::newRow("unknown kind") << head + R"({"kind": "slider", "rect": [0,0,1,1]}]})";
        QTest::newRow("style of another kind") << head + R"({"kind": "button", "rect": [0,0,1,1], "style": ["sort"]}]})";
        QTest::newRow("id twice") << head + R"({"id": 5, "kind": "button", "rect": [0,0,1,1]}, {"id": 5, "kind": "edit", "rect": [0,0,1,1]}]})";
        QTest::newRow("short rect") << head + R"({"kind": "button", "rect": [0,0,1]}]})";
        QTest::newRow("items on a button") << head + R"({"kind": "button", "rect": [0,0,1,1], "items": ["a"]}]})";
        QTest::newRow("no font") << QByteArray(R"({"id": 1, "size": [10, 10], "controls": []})");
        QTest::newRow("unknown dialog style") << QByteArray(R"({"id": 1, "size": [10, 10], "font": ["x", 9], "style": ["thickframe"]})");
        QTest::newRow("not JSON") << QByteArray("{");
    }
    void mistakesInATemplateAreRefused()
    {
        QFETCH(QByteArray, json);
        DialogTemplate t;
        QString error;
        QVERIFY(!parseDialogTemplate(json, t, &error));
        QVERIFY(!error.isEmpty());
    }

    void dialogUnitsComeFromTheFontAndRoundEachEdge()
    {
        const QFont f = dialogFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 9);
        QCOMPARE(f.pixelSize(), 12);
        QCOMPARE(QFontInfo(f).family(), QStringLiteral("IPAPGothic"));
        const DialogUnits u = dialogBaseUnits(f);
        const QFontMetrics fm(f);
        const int w = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        QCOMPARE(u.baseX, (w / 26 + 1) / 2);
        QCOMPARE(u.baseY, 13); // IPAPGothic at 12 pixels: ascent 10.56 -> 11, descent 2.34 -> 2
        QCOMPARE(dialogFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 11).pixelSize(), 15);

        const DialogUnits fixed{6, 13};
        QCOMPARE(fixed.x(17), 26);  // 25.5 rounds up
        QCOMPARE(fixed.y(4), 7);    // 6.5 rounds up
        QCOMPARE(fixed.y(-4), -7);  // and away from zero below it
        // Each edge converts on its own: width = right - left, not width * base.
        QCOMPARE(fixed.rect(QRect(17, 23, 199, 74)), QRect(26, 37, 324 - 26, 158 - 37));
    }

    void controlsFollowTheirTemplate()
    {
        Recorder dlg(parse(kEveryKind));
        QVERIFY(dlg.valid());
        QCOMPARE(dlg.windowTitle(), QString::fromUtf8("試験"));
        const DialogUnits &u = dlg.units();
        QCOMPARE(dlg.size(), QSize(u.x(200), u.y(160)));
        QVERIFY(!(dlg.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);

        QVERIFY(dlg.item<QLineEdit>(10));
        QCOMPARE(dlg.item(10)->geometry(), u.rect(QRect(5, 5, 60, 12)));
        QVERIFY(dlg.item<QRadioButton>(11) && dlg.item<QCheckBox>(14));
        QVERIFY(dlg.item<QPlainTextEdit>(32) && dlg.item<QTreeWidget>(33));
        QVERIFY(!dlg.item(40)->isEnabled());
        QVERIFY(dlg.item(41)->isHidden());
        QVERIFY(dlg.item<QPushButton>(1)->isDefault());
        QVERIFY(!dlg.item(999));

        // Statics: '&&' is one '&', a lone '&' vanishes; sunken and centred.
        QCOMPARE(dlg.item<QLabel>(30)->text(), QStringLiteral("A&B x"));
        QCOMPARE(dlg.item<QLabel>(31)->frameShadow(), QFrame::Sunken);
        QVERIFY(dlg.item<QLabel>(31)->alignment() & Qt::AlignHCenter);

        // The group box lies beneath the radios inside it and lets clicks through.
        auto *group = dlg.findChild<QGroupBox *>();
        QVERIFY(group && group->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(dlg.childAt(dlg.item(11)->geometry().center()), dlg.item(11));

        // Combo items from the template: "sort" keeps text order; nothing selected.
        auto *rates = dlg.item<QComboBox>(20);
        QCOMPARE(rates->count(), 3);
        QCOMPARE(rates->itemText(0), QStringLiteral("19200"));
        QCOMPARE(rates->itemText(2), QStringLiteral("9600"));
        QCOMPARE(rates->currentIndex(), -1);
        QCOMPARE(dlg.item<QComboBox>(21)->itemText(2), QStringLiteral("COM10"));

        // Texts in and out as CP932.
        dlg.setItemText(31, cp932FromUtf8(">> 通信異常です <<"));
        QCOMPARE(dlg.item<QLabel>(31)->text(), QString::fromUtf8(">> 通信異常です <<"));
        QCOMPARE(dlg.itemText(31), cp932FromUtf8(">> 通信異常です <<"));
        dlg.setItemText(32, "a\r\nb");
        QCOMPARE(dlg.item<QPlainTextEdit>(32)->toPlainText(), QStringLiteral("a\nb"));
        QCOMPARE(dlg.itemText(32), std::string("a\r\nb"));
    }

    void radioGroupsFollowTheGroupStyle()
    {
        Recorder dlg(parse(kEveryKind));
        QCOMPARE(dlg.radioIndex(11), -1);
        dlg.setRadioIndex(11, 1);
        dlg.setRadioIndex(13, 0);
        QCOMPARE(dlg.radioIndex(11), 1);
        QCOMPARE(dlg.radioIndex(12), 1); // any member names its group
        QCOMPARE(dlg.radioIndex(13), 0); // a group of its own: checking it left the other alone

        dlg.show();
        QTest::mouseClick(dlg.item(11), Qt::LeftButton);
        QCOMPARE(dlg.radioIndex(11), 0);
        QCOMPARE(dlg.radioIndex(13), 0);
        QCOMPARE(dlg.log, QStringList{QStringLiteral("clicked 11")});
        dlg.setRadioIndex(11, -1);
        QCOMPARE(dlg.radioIndex(11), -1);
    }

    void comboSearchFindsTheFirstItemBeginningWithTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("found");
        QTest::newRow("COM1 is not COM10") << "COM1" << -1 << 0;
        QTest::newRow("letter case ignored") << "com2" << -1 << 1;
        QTest::newRow("prefix") << "COM" << -1 << 0;
        QTest::newRow("starts after the given item") << "COM1" << 0 << 2;
        QTest::newRow("wraps round") << "COM2" << 1 << 1;
        QTest::newRow("no item begins with it") << "COM11" << -1 << -1;
        QTest::newRow("empty text finds the first") << "" << -1 << 0;
    }
    void comboSearchFindsTheFirstItemBeginningWithTheText()
    {
        QFETCH(QString, text);
        QFETCH(int, after);
        QFETCH(int, found);
        Recorder dlg(parse(kEveryKind));
        auto *ports = dlg.item<QComboBox>(21);
        QCOMPARE(comboFindString(ports, after, toCp932(text)), found);
        comboSetCurSel(ports, 1);
        QCOMPARE(comboSelectString(ports, after, toCp932(text)), found);
        QCOMPARE(comboCurSel(ports), found >= 0 ? found : 1); // no match: selection unchanged
        QCOMPARE(dlg.log, QStringList{}); // the program's selections notify nobody
    }

    void sortedComboInsertsInTextOrder()
    {
        Recorder dlg(parse(kEveryKind));
        auto *rates = dlg.item<QComboBox>(20);
        QCOMPARE(comboAddString(rates, "115200"), 0);
        QCOMPARE(comboAddString(rates, "a"), 4);
        QCOMPARE(comboAddString(rates, "B"), 5);
        QCOMPARE(comboAddString(dlg.item<QComboBox>(21), "COM0"), 3); // unsorted: at the end
        QCOMPARE(comboItemText(rates, 3), std::string("9600"));
        QCOMPARE(comboItemText(rates, 9), std::string());
        comboSetCurSel(rates, 42);
        QCOMPARE(comboCurSel(rates), -1);
    }

    void notificationsReachTheTable()
    {
        Recorder dlg(parse(kEveryKind));
        dlg.create();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.focusWidget(), dlg.item(10)); // the first control that takes the focus

        QTest::keyClicks(dlg.item(10), QStringLiteral("ab"));
        dlg.setItemText(10, "xyz"); // the program's changes notify too
        QTest::mouseClick(dlg.item(42), Qt::LeftButton);
        QTest::mouseClick(dlg.item(40), Qt::LeftButton); // disabled: nothing

        auto *rates = dlg.item<QComboBox>(20);
        rates->setFocus();
        QTest::keyClick(rates, Qt::Key_Down); // the operator picks an item
        QCOMPARE(rates->currentIndex(), 0);
        rates->setCurrentIndex(2);            // the program does: no notification

        QCOMPARE(dlg.log, (QStringList{"init", "change 10", "change 10", "change 10", "clicked 42",
                                       "selchange 20", "selendok 20"}));
        QVERIFY(dlg.hasHandler(42));
        QVERIFY(!dlg.hasHandler(500));
        QVERIFY(!dlg.command(500));
        QVERIFY(!dlg.command(7777));
    }

    void okAndCancelEndTheDialogByDefault()
    {
        {
            Recorder dlg(parse(kEveryKind));
            dlg.create();
            dlg.show();
            QTest::keyClick(&dlg, Qt::Key_Escape);
            QVERIFY(dlg.isHidden());
            QCOMPARE(dlg.result(), int(IDCANCEL));
            dlg.destroyWindow();
            dlg.destroyWindow();
            QCOMPARE(dlg.log, (QStringList{"init", "cancel", "destroy"}));
        }
        {
            Recorder dlg(parse(kEveryKind));
            dlg.keepOpenOnCancel = true;
            dlg.create();
            dlg.show();
            QVERIFY(!dlg.close()); // the close box is the cancel command too
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.log, (QStringList{"init", "cancel"}));
            dlg.item(32)->setFocus();
            QTest::keyClick(dlg.item(32), Qt::Key_Return); // a want-return edit keeps Enter
            QVERIFY(dlg.isVisible());
            dlg.item(10)->setFocus();
            QTest::keyClick(dlg.item(10), Qt::Key_Return); // elsewhere Enter presses the default button
            QVERIFY(dlg.isHidden());
            QCOMPARE(dlg.result(), int(IDOK));
        }
    }

    void anOwnedWindowKeepsItsFrame()
    {
        QWidget owner;
        auto *owned = new Recorder(parse(kEveryKind));
        const Qt::WindowFlags flags = owned->windowFlags();
        owned->setOwner(&owner);
        QCOMPARE(owned->parentWidget(), &owner);
        QCOMPARE(owned->windowFlags(), flags);
        QVERIFY(owned->isWindow());
    } // the owner takes the owned window with it

    // Enter gives the dialog the IDOK command, as the template has no default button,
    // even after another button had the focus for a while (Qt would otherwise make the
    // first button that took the focus the default for good).
    void aButtonThatHadTheFocusDoesNotTakeOverEnter()
    {
        Recorder dlg(parse(R"({
          "id": 9003, "caption": "x", "size": [200, 40], "font": ["ＭＳ Ｐゴシック", 9], "style": ["caption"],
          "controls": [
            { "id": 10, "kind": "edit", "rect": [5, 5, 60, 12], "style": ["border"] },
            { "id": 42, "kind": "button", "text": "読込", "rect": [70, 5, 40, 14] },
            { "id": 1, "kind": "button", "text": "戻る", "rect": [120, 5, 40, 14] }
          ] })"));
        dlg.create();
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.item(42)->setFocus();
        dlg.item(10)->setFocus();
        QTest::keyClick(dlg.item(10), Qt::Key_Return);
        QVERIFY(!dlg.log.contains(QStringLiteral("clicked 42")));
        QVERIFY(dlg.isHidden());
        QCOMPARE(dlg.result(), int(IDOK));
    }

    // A one-line label whose text came out wider than its rectangle grows to the right,
    // but never over another control.
    void aCutLabelGrowsIntoFreeSpaceOnly()
    {
        Dialog dlg(parse(R"({
          "id": 9002, "caption": "x", "size": [200, 40], "font": ["ＭＳ Ｐゴシック", 9], "style": ["caption"],
          "controls": [
            { "id": 1, "kind": "static", "text": "ScanToEmail送信時に", "rect": [5, 5, 40, 8] },
            { "id": 2, "kind": "static", "text": "ScanToEmail送信時に", "rect": [5, 20, 40, 8] },
            { "id": 3, "kind": "button", "text": "B", "rect": [46, 18, 40, 14] }
          ] })"));
        const QFontMetrics fm(dlg.item(1)->font());
        const int textWidth = fm.horizontalAdvance(QString::fromUtf8("ScanToEmail送信時に"));
        QVERIFY(textWidth > dlg.units().x(40)); // the case that matters
        QVERIFY(dlg.item(1)->width() >= textWidth);
        QCOMPARE(dlg.item(1)->x(), dlg.units().x(5));
        QCOMPARE(dlg.item(2)->geometry(), dlg.units().rect(QRect(5, 20, 40, 8)));
    }

    // The main window runs without being modal (so that a window manager stacks the
    // windows it owns above it), and a dialog run from it is its transient.
    void theMainWindowIsNotModalAndOwnsItsDialogs()
    {
        Recorder main(parse(kEveryKind));
        Recorder child(parse(kEveryKind));
        bool mainModal = true;
        QWindow *childOwner = nullptr;
        QTimer::singleShot(0, &main, [&] {
            mainModal = main.isModal() || QApplication::activeModalWidget() != nullptr;
            QCOMPARE(Dialog::mainWindow(), &main);
            QTimer::singleShot(0, &child, [&] {
                childOwner = child.windowHandle() ? child.windowHandle()->transientParent() : nullptr;
                child.endDialog(5);
            });
            QCOMPARE(child.runModal(), 5);
            main.endDialog(7);
        });
        QCOMPARE(main.runMain(), 7);
        QVERIFY(!mainModal);
        QCOMPARE(childOwner, main.windowHandle());
        QCOMPARE(Dialog::mainWindow(), nullptr);
    }

    void runModalReturnsTheEndValue()
    {
        Recorder dlg(parse(kEveryKind));
        QTimer::singleShot(0, &dlg, [&dlg] { dlg.endDialog(77); });
        QCOMPARE(dlg.runModal(), 77);
        QCOMPARE(dlg.log, (QStringList{"init", "destroy"}));
        QVERIFY(dlg.isHidden());

        Dialog missing(4242);
        QVERIFY(!missing.valid());
        QCOMPARE(missing.runModal(), -1);
    }

    void windowTimersTickUntilStopped()
    {
        Recorder dlg(parse(kEveryKind));
        dlg.create();
        dlg.startWindowTimer(1, 5);
        QTRY_VERIFY(dlg.log.count(QStringLiteral("timer 1")) >= 2);
        dlg.stopWindowTimer(1);
        QVERIFY(!dlg.windowTimerRunning(1));
        const qsizetype ticks = dlg.log.size();
        QTest::qWait(30);
        QCOMPARE(dlg.log.size(), ticks);

        dlg.startWindowTimer(2, 5);
        dlg.destroyWindow(); // the window's timers go with it
        QVERIFY(!dlg.windowTimerRunning(2));
    }
};

QTEST_MAIN(TestDialog)
#include "test_dialog.moc"
