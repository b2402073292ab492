// The MFP settings dialog driven as an operator would, against the simulated vendor, with
// the message box and file dialog doubles.
#include "vendorui/reportfailure.h"
#include "mfp/ui/mfpcnfdlg.h"
#include "mfp/mfpfile.h"
#include "platform/codepage.h"
#include "platform/ui/filedialog.h"
#include "platform/fonts.h"
#include "platform/ui/messagebox.h"
#include "support/bytes.h"
#include "support/loopback.h"
#include "support/simulator.h"
#include "support/ui/dialogfixture.h"
#include "support/vendorfixture.h"
#include "texts/files.h"
#include "texts/mfp.h"
#include "vendorsim/vendorsim.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "support/ui/windowinput.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

using platform::MsgIcon;
using platform::MsgResult;
using testutil::Bytes;

namespace {

QString u(const std::string &cp932)
{
    return platform::fromCp932(cp932);
}

// The ten paper lists, in entry byte order (bytes 1-10).
const int kPaperLists[] = {CMfpcnfDlg::IDC_PAPER_CODE,  CMfpcnfDlg::IDC_LEF_SEF,      CMfpcnfDlg::IDC_WIDE_PAPER,
                           CMfpcnfDlg::IDC_INDEX_PAPER, CMfpcnfDlg::IDC_RESERVED,     CMfpcnfDlg::IDC_PAPER_TYPE,
                           CMfpcnfDlg::IDC_PAPER_WEIGHT, CMfpcnfDlg::IDC_INDEX_TAB,   CMfpcnfDlg::IDC_PAPER_COLOR,
                           CMfpcnfDlg::IDC_OTHER_SPEC};

std::array<uint8_t, kMfpSetSize> toArray(const MfpParameterSet &s)
{
    std::array<uint8_t, kMfpSetSize> a;
    std::copy(s.bytes.begin(), s.bytes.end(), a.begin());
    return a;
}

} // namespace

class TestMfpcnfDlg : public QObject {
    Q_OBJECT

    std::unique_ptr<testutil::DialogFixture> m_ui;
    std::unique_ptr<testutil::VendorFixture> m_vendor;

    // The vendor holds `set`.
    void vendorHolds(const MfpParameterSet &set) { m_vendor->sim->setMfpParameters(toArray(set)); }
    // A set whose every setting is a row of its list, different for every entry.
    static MfpParameterSet varied()
    {
        MfpParameterSet s = MfpParameterSet::Initial();
        const uint8_t rows[] = {162, 2, 2, 2, 2, 26, 13, 17, 8, 4}; // list lengths, bytes 1-10
        for (size_t k = 0; k < kMfpPaperCount; ++k)
            for (size_t f = 1; f < kMfpEntrySize; ++f)
                s.entry(k)[f] = uint8_t((k * 3 + f * 5 + 1) % rows[f - 1]);
        s.faxLine2() = 1;
        s.scanCharging() = 1;
        return s;
    }
    void failExchange(int n) { m_vendor->sim->setFaults(testutil::failing(m_vendor->sim->exchanges() + n)); }
    std::unique_ptr<CMfpcnfDlg> openDialog()
    {
        auto dlg = std::make_unique<CMfpcnfDlg>(m_vendor->session());
        dlg->create();
        dlg->show();
        return dlg;
    }

    // Waits until the dialog's operations (the session's opening, a transfer) have ended
    // and their outcome has been shown.
    static void waitForTheVendor(CMfpcnfDlg &dlg)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.VenderBusy() && !dlg.TransferProgress(), 15000);
    }
    // Waits until the worker has nothing left to do; what it did is then safe to read here.
    void waitForTheWorker() { QTRY_VERIFY_WITH_TIMEOUT(m_vendor->worker.Idle(), 15000); }
    static QComboBox *list(const CMfpcnfDlg &dlg, int id) { return dlg.item<QComboBox>(id); }
    static QString title(const CMfpcnfDlg &dlg) { return u(dlg.itemText(CMfpcnfDlg::IDC_TITLE)); }
    // The tree item with `tag`.
    static QTreeWidgetItem *treeItem(const CMfpcnfDlg &dlg, int tag)
    {
        QTreeWidgetItemIterator it(dlg.Tree());
        for (; *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == tag)
                return *it;
        return nullptr;
    }
    static void select(CMfpcnfDlg &dlg, int tag) { dlg.Tree()->setCurrentItem(treeItem(dlg, tag)); }
    // The operator picks row `index` of a list.
    static void pick(CMfpcnfDlg &dlg, int id, int index) { ::pick(list(dlg, id), index); }
    static void click(CMfpcnfDlg &dlg, int id) { windowClick(dlg.item(id)); }
    // The rows the ten paper lists show.
    static std::vector<int> rows(const CMfpcnfDlg &dlg)
    {
        std::vector<int> out;
        for (int id : kPaperLists)
            out.push_back(list(dlg, id)->currentIndex());
        return out;
    }
    static std::vector<int> entryRows(const MfpParameterSet &s, size_t k)
    {
        std::vector<int> out;
        for (size_t f = 1; f < kMfpEntrySize; ++f)
            out.push_back(s.entryByte(k, f));
        return out;
    }
    // Whether the ten paper lists are enabled as given: the paper-code list, the nine others.
    static bool paperListsEnabled(const CMfpcnfDlg &dlg, bool code, bool others)
    {
        for (int id : kPaperLists)
            if (list(dlg, id)->isEnabled() != (id == CMfpcnfDlg::IDC_PAPER_CODE ? code : others))
                return false;
        return true;
    }
    // Which panel shows: 0 paper, 1 FAX, 2 scan; -1 for anything else.
    static int shownPanel(const CMfpcnfDlg &dlg)
    {
        bool paper = true;
        for (int id : kPaperLists)
            paper = paper && list(dlg, id)->isVisible();
        for (int id = CMfpcnfDlg::IDC_PAPER_FIRST_LABEL; id <= CMfpcnfDlg::IDC_PAPER_LAST_LABEL; ++id)
            paper = paper && dlg.item(id)->isVisible();
        const bool fax = dlg.item(CMfpcnfDlg::IDC_FAX_LABEL)->isVisible() && list(dlg, CMfpcnfDlg::IDC_FAX_LINE2)->isVisible();
        const bool scan = dlg.item(CMfpcnfDlg::IDC_SCAN_LABEL)->isVisible() &&
                          list(dlg, CMfpcnfDlg::IDC_SCAN_CHARGING)->isVisible();
        const bool anyPaper = list(dlg, CMfpcnfDlg::IDC_PAPER_CODE)->isVisible();
        if (paper + fax + scan != 1 || (anyPaper && !paper))
            return -1;
        return paper ? 0 : fax ? 1 : 2;
    }
    std::vector<Bytes> requestDataOf(uint8_t cmd) const
    {
        std::vector<Bytes> out;
        for (const Bytes &f : m_vendor->sim->requests())
            if (f.size() > 2 && f[2] == cmd)
                out.push_back(testutil::dataOf(f));
        return out;
    }
    void expectBox(size_t i, const std::string &text, MsgIcon icon)
    {
        QVERIFY(m_ui->boxes->boxes().size() > i);
        QCOMPARE(u(m_ui->boxes->boxes()[i].text), u(text));
        QCOMPARE(m_ui->boxes->boxes()[i].icon, icon);
    }
    std::string file(const char *name) const { return m_ui->path(name).toStdString(); }
    static std::string slurp(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private slots:
    void initTestCase() { platform::installFontSubstitutions(); }
    void init()
    {
        m_ui = std::make_unique<testutil::DialogFixture>();
        QVERIFY(m_ui->ok());
        m_vendor = std::make_unique<testutil::VendorFixture>();
        QVERIFY(m_vendor->start());
    }
    void cleanup()
    {
        m_vendor.reset();
        m_ui.reset();
    }

    void opensOnThePaperPanelWithNothingChosen()
    {
        auto dlg = openDialog();
        QCOMPARE(dlg->windowTitle(), QString::fromUtf8("MFP設定"));
        const platform::DialogUnits &du = dlg->units();
        QCOMPARE(dlg->size(), QSize(du.x(355), du.y(235)));
        QCOMPARE(title(*dlg), QString::fromUtf8("用紙設定 - 用紙№を選択してください"));
        QCOMPARE(shownPanel(*dlg), 0);
        QVERIFY(paperListsEnabled(*dlg, false, false));
        QCOMPARE(dlg->Params(), MfpParameterSet::Initial());
        waitForTheWorker();
        QVERIFY(m_vendor->vender.IsConnected());
        QCOMPARE(m_vendor->sim->exchanges(), 0); // nothing is fetched before "受信"
        QVERIFY(m_ui->boxes->boxes().empty());

        // The tree: texts and tags, in order, nothing expanded or selected.
        QTreeWidget *tree = dlg->Tree();
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString::fromUtf8("用紙情報設定"));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 10);
        QCOMPARE(tree->topLevelItem(0)->child(9)->text(0), QString::fromUtf8("用紙10"));
        QCOMPARE(tree->topLevelItem(0)->child(9)->data(0, Qt::UserRole).toInt(), 0x1A);
        QCOMPARE(tree->topLevelItem(1)->text(0), QString::fromUtf8("FAX２回線目使用設定"));
        QCOMPARE(tree->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 0x20);
        QCOMPARE(tree->topLevelItem(2)->text(0), QString::fromUtf8("スキャン送信課金方式設定"));
        QCOMPARE(tree->topLevelItem(2)->data(0, Qt::UserRole).toInt(), 0x30);
        QVERIFY(!tree->topLevelItem(0)->isExpanded());

        // The lists: the tables filled at start, the two-row lists from the template, which
        // must agree with the catalogue the command line shows.
        QComboBox *code = list(*dlg, CMfpcnfDlg::IDC_PAPER_CODE);
        QCOMPARE(code->count(), 162);
        QCOMPARE(code->itemText(4), QString::fromUtf8("(0x*104) : A系列(ISO) - A4"));
        QCOMPARE(code->itemText(161), QString::fromUtf8("(0x*FFF) : その他 - 使用しない"));
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_PAPER_TYPE)->count(), 26);
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_PAPER_WEIGHT)->count(), 13);
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_INDEX_TAB)->itemText(16), QString::fromUtf8("その他"));
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_PAPER_COLOR)->count(), 8);
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_OTHER_SPEC)->count(), 4);
        const struct {
            int id;
            const char *const *names;
        } twoRow[] = {
            {CMfpcnfDlg::IDC_LEF_SEF, mfptext::kLefSefNames},         {CMfpcnfDlg::IDC_WIDE_PAPER, mfptext::kWidePaperNames},
            {CMfpcnfDlg::IDC_INDEX_PAPER, mfptext::kIndexPaperNames}, {CMfpcnfDlg::IDC_RESERVED, mfptext::kReservedNames},
            {CMfpcnfDlg::IDC_FAX_LINE2, mfptext::kFaxLine2Names},     {CMfpcnfDlg::IDC_SCAN_CHARGING, mfptext::kScanChargingNames},
        };
        for (const auto &l : twoRow) {
            QComboBox *c = list(*dlg, l.id);
            QCOMPARE(c->count(), 2);
            QCOMPARE(c->itemText(0), u(l.names[0]));
            QCOMPARE(c->itemText(1), u(l.names[1]));
        }
    }

    void selectingPapersAndTheRoot()
    {
        const MfpParameterSet held = varied();
        vendorHolds(held);
        auto dlg = openDialog();
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        waitForTheVendor(*dlg);
        expectBox(0, mfptext::kMsgReceived, MsgIcon::Information);
        QCOMPARE(dlg->Params(), held);

        select(*dlg, 0x13);
        QCOMPARE(title(*dlg), QString::fromUtf8("用紙設定 - 用紙 < 3 >"));
        QCOMPARE(rows(*dlg), entryRows(held, 2));
        QVERIFY(paperListsEnabled(*dlg, true, true));

        select(*dlg, 0x10); // the rows stay, disabled
        QCOMPARE(title(*dlg), QString::fromUtf8("用紙設定 - 用紙№を選択してください"));
        QCOMPARE(rows(*dlg), entryRows(held, 2));
        QVERIFY(paperListsEnabled(*dlg, false, false));
        QCOMPARE(shownPanel(*dlg), 0);
        QVERIFY(!dlg->CurrentEntry());
    }

    void paperCodeNotInUseDisablesTheOtherLists()
    {
        auto dlg = openDialog();
        select(*dlg, 0x12);
        pick(*dlg, CMfpcnfDlg::IDC_PAPER_TYPE, 3);
        pick(*dlg, CMfpcnfDlg::IDC_PAPER_CODE, 161);
        QVERIFY(paperListsEnabled(*dlg, true, false));
        QCOMPARE(dlg->Params().entryByte(1, PaperCodeIndex), uint8_t(161));
        QCOMPARE(dlg->Params().entryByte(1, PaperType), uint8_t(3)); // kept while disabled
        pick(*dlg, CMfpcnfDlg::IDC_PAPER_CODE, 5);
        QVERIFY(paperListsEnabled(*dlg, true, true));
        QCOMPARE(dlg->Params().entryByte(1, PaperCodeIndex), uint8_t(5));
        // Entry 1 only; the others are as they were.
        MfpParameterSet expected = MfpParameterSet::Initial();
        expected.entry(1)[PaperCodeIndex] = 5;
        expected.entry(1)[PaperType] = 3;
        QCOMPARE(dlg->Params(), expected);
    }

    void valueBeyondItsListShowsNoRowAndBecomes255()
    {
        MfpParameterSet held = MfpParameterSet::Initial();
        held.entry(0)[PaperType] = 30;
        held.entry(0)[PaperCodeIndex] = 200; // beyond 161: still editable
        vendorHolds(held);
        auto dlg = openDialog();
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        waitForTheVendor(*dlg);
        select(*dlg, 0x11);
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_PAPER_TYPE)->currentIndex(), -1);
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_PAPER_CODE)->currentIndex(), -1);
        QVERIFY(paperListsEnabled(*dlg, true, true));
        QCOMPARE(dlg->Params(), held); // shown, not changed

        pick(*dlg, CMfpcnfDlg::IDC_PAPER_WEIGHT, 2);
        QCOMPARE(dlg->Params().entryByte(0, PaperType), uint8_t(255));
        QCOMPARE(dlg->Params().entryByte(0, PaperCodeIndex), uint8_t(255));
        QCOMPARE(dlg->Params().entryByte(0, PaperWeight), uint8_t(2));
    }

    void faxAndScanPanelsAndBack()
    {
        const MfpParameterSet held = varied();
        vendorHolds(held);
        auto dlg = openDialog();
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        waitForTheVendor(*dlg);
        select(*dlg, 0x15);
        const std::vector<int> shown = rows(*dlg);

        select(*dlg, 0x20);
        QCOMPARE(shownPanel(*dlg), 1);
        QCOMPARE(title(*dlg), QString::fromUtf8("FAX２回線目使用設定"));
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_FAX_LINE2)->currentIndex(), 1);
        pick(*dlg, CMfpcnfDlg::IDC_FAX_LINE2, 0);
        QCOMPARE(dlg->Params().faxLine2(), uint8_t(0));

        select(*dlg, 0x30);
        QCOMPARE(shownPanel(*dlg), 2);
        QCOMPARE(title(*dlg), QString::fromUtf8("スキャン送信課金方式設定"));
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_SCAN_CHARGING)->currentIndex(), 1);
        pick(*dlg, CMfpcnfDlg::IDC_SCAN_CHARGING, 0);
        QCOMPARE(dlg->Params().scanCharging(), uint8_t(0));
        QCOMPARE(dlg->CurrentEntry(), std::optional<size_t>(4)); // kept through the other kinds

        select(*dlg, 0x15);
        QCOMPARE(shownPanel(*dlg), 0);
        QCOMPARE(title(*dlg), QString::fromUtf8("用紙設定 - 用紙 < 5 >"));
        QCOMPARE(rows(*dlg), shown);
        MfpParameterSet expected = held;
        expected.faxLine2() = 0;
        expected.scanCharging() = 0;
        QCOMPARE(dlg->Params(), expected);
    }

    void receiveThatFailsAtKind1KeepsWhatCameBefore()
    {
        const MfpParameterSet held = varied();
        vendorHolds(held);
        auto dlg = openDialog();
        select(*dlg, 0x20);
        pick(*dlg, CMfpcnfDlg::IDC_FAX_LINE2, 1);
        select(*dlg, 0x30);
        pick(*dlg, CMfpcnfDlg::IDC_SCAN_CHARGING, 0);
        MfpParameterSet mixed = held;
        mixed.faxLine2() = 1;  // the dialog's own values stay
        mixed.scanCharging() = 0;
        MfpParameterSet v = held;
        v.faxLine2() = 0; // what the vendor would have sent
        vendorHolds(v);

        failExchange(2);
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        waitForTheVendor(*dlg);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        expectBox(0, FailureMessage(mfptext::kTitleReceive), MsgIcon::Stop);
        QCOMPARE(dlg->Params(), mixed);
        QCOMPARE(requestDataOf(vendercmd::GetMfpParameter).size(), size_t(2)); // kind 2 not asked
        // The panel that shows is refreshed: the scan list still shows the dialog's value.
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_SCAN_CHARGING)->currentIndex(), 0);
        select(*dlg, 0x1A);
        QCOMPARE(rows(*dlg), entryRows(held, 9));
    }

    // A paper block shorter than 110 bytes is a failure and leaves the papers as they were.
    void shortReplyIsAFailure()
    {
        vendorHolds(varied());
        auto dlg = openDialog();
        select(*dlg, 0x11);
        pick(*dlg, CMfpcnfDlg::IDC_PAPER_COLOR, 2);
        const MfpParameterSet before = dlg->Params();
        vendorsim::Faults f;
        f.truncateReply = 2 + 109;
        m_vendor->sim->setFaults(f);
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        waitForTheVendor(*dlg);
        expectBox(0, FailureMessage(mfptext::kTitleReceive), MsgIcon::Stop);
        QCOMPARE(dlg->Params(), before);
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_PAPER_COLOR)->currentIndex(), 2);
    }

    void sendRightAfterOpeningSendsTheInitialSet()
    {
        vendorHolds(varied());
        auto dlg = openDialog();
        QVERIFY(dlg->VenderBusy()); // the session's opening has not come back yet
        click(*dlg, CMfpcnfDlg::IDC_SEND);
        waitForTheVendor(*dlg);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        expectBox(0, mfptext::kMsgSent, MsgIcon::Information);
        const MfpParameterSet initial = MfpParameterSet::Initial();
        Bytes paper = testutil::hex("00 00");
        paper.insert(paper.end(), initial.bytes.begin(), initial.bytes.begin() + 110);
        const std::vector<Bytes> expected = {paper, testutil::hex("00 01 00"), testutil::hex("00 02 00")};
        QCOMPARE(requestDataOf(vendercmd::SetMfpParameter), expected);
        QCOMPARE(m_vendor->sim->mfpParameters(), toArray(initial));
    }

    void sendStopsAtTheFirstFailure()
    {
        auto dlg = openDialog();
        failExchange(1);
        click(*dlg, CMfpcnfDlg::IDC_SEND);
        waitForTheVendor(*dlg);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        expectBox(0, FailureMessage(mfptext::kTitleSend), MsgIcon::Stop);
        QCOMPARE(requestDataOf(vendercmd::SetMfpParameter).size(), size_t(1));
    }

    // "受信" and "送信" against a vendor that takes its time: the progress window names the
    // part being carried, of three, while "受信", "送信" and "読込" are disabled and the
    // cursor is busy; the outcome comes at the end, as it does for a quick vendor.
    void transferShowsThePartBeingCarried_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("受信") << int(CMfpcnfDlg::IDC_RECEIVE);
        QTest::newRow("送信") << int(CMfpcnfDlg::IDC_SEND);
    }
    void transferShowsThePartBeingCarried()
    {
        QFETCH(int, button);
        const MfpParameterSet held = varied();
        vendorHolds(held);
        vendorsim::Faults slow;
        slow.delayMs = 300;
        m_vendor->sim->setFaults(slow);
        auto dlg = openDialog();
        waitForTheVendor(*dlg);
        const int before = m_vendor->sim->exchanges();
        click(*dlg, button);
        const QString parts[] = {QString::fromUtf8("1 / 3：用紙情報設定"), QString::fromUtf8("2 / 3：FAX２回線目使用設定"),
                                 QString::fromUtf8("3 / 3：スキャン送信課金方式設定")};
        for (int k = 0; k < 3; ++k) {
            // The part is named before its request goes, so it shows while the reply is awaited.
            QVERIFY(QTest::qWaitFor([&] { return m_vendor->sim->exchanges() > before + k; }, 5000));
            QCoreApplication::processEvents();
            QVERIFY(dlg->TransferProgress());
            QCOMPARE(dlg->TransferProgress()->partText(), parts[k]);
            for (int id : {CMfpcnfDlg::IDC_RECEIVE, CMfpcnfDlg::IDC_SEND, CMfpcnfDlg::IDC_LOAD})
                QVERIFY(!dlg->item(id)->isEnabled());
            QVERIFY(dlg->item(CMfpcnfDlg::IDC_SAVE)->isEnabled());
            QCOMPARE(dlg->cursor().shape(), Qt::BusyCursor);
            QVERIFY(m_ui->boxes->boxes().empty());
        }
        waitForTheVendor(*dlg);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        if (button == CMfpcnfDlg::IDC_RECEIVE) {
            expectBox(0, mfptext::kMsgReceived, MsgIcon::Information);
            QCOMPARE(dlg->Params(), held);
        } else {
            expectBox(0, mfptext::kMsgSent, MsgIcon::Information);
            QCOMPARE(m_vendor->sim->mfpParameters(), toArray(MfpParameterSet::Initial()));
        }
        for (int id : {CMfpcnfDlg::IDC_RECEIVE, CMfpcnfDlg::IDC_SEND, CMfpcnfDlg::IDC_LOAD})
            QVERIFY(dlg->item(id)->isEnabled());
        QVERIFY(dlg->cursor().shape() != Qt::BusyCursor);
    }

    // "中止" while the second part is awaited: the receive has failed (the failure report,
    // never the success message), and the part that came before goes into the set while
    // the dialog's own values of the others stay.
    void cancelledReceiveIsAFailureAndKeepsThePartsReceived()
    {
        const MfpParameterSet held = varied();
        vendorHolds(held);
        auto dlg = openDialog();
        select(*dlg, 0x30);
        pick(*dlg, CMfpcnfDlg::IDC_SCAN_CHARGING, 0);
        vendorsim::Faults slow;
        slow.delayMs = 300;
        m_vendor->sim->setFaults(slow);
        waitForTheVendor(*dlg);
        const int before = m_vendor->sim->exchanges();
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        QVERIFY(QTest::qWaitFor([&] { return m_vendor->sim->exchanges() > before + 1; }, 5000));
        QVERIFY(dlg->TransferProgress());
        windowClick(dlg->TransferProgress()->cancelButton());
        waitForTheVendor(*dlg);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        expectBox(0, FailureMessage(mfptext::kTitleReceive), MsgIcon::Stop);
        MfpParameterSet expected = held;          // the papers came
        expected.faxLine2() = 0;                  // the second part did not: initial
        expected.scanCharging() = 0;              // the dialog's own
        QCOMPARE(dlg->Params(), expected);
        QCOMPARE(requestDataOf(vendercmd::GetMfpParameter).size(), size_t(2)); // the third never asked
        QCOMPARE(list(*dlg, CMfpcnfDlg::IDC_SCAN_CHARGING)->currentIndex(), 0);
        QVERIFY(dlg->item(CMfpcnfDlg::IDC_RECEIVE)->isEnabled());
    }

    // Against a vendor that never answers, the window goes on answering while "受信" or
    // "送信" runs (a zero-timer keeps firing), and "戻る" ends the transfer at once: the
    // dialog, run as the program runs it, is gone within 0.5 s, the worker is free soon
    // after, and nothing is shown afterwards.
    void backDuringATransferClosesAtOnce_data() { transferShowsThePartBeingCarried_data(); }
    void backDuringATransferClosesAtOnce()
    {
        QFETCH(int, button);
        m_vendor->sim->setFaults(testutil::silent());
        CMfpcnfDlg dlg(m_vendor->session());
        int ticks = -1;
        qint64 longestGap = 0;
        bool running = false;
        QElapsedTimer closing;
        QTimer::singleShot(0, this, [&] {
            // Inside the dialog's own event loop.
            if (!QTest::qWaitFor([&] { return !dlg.VenderBusy(); }, 5000)) {
                dlg.close();
                return;
            }
            // The zero-timer runs from before the click: a click that kept the event loop
            // waiting would show as a long gap.
            int n = 0;
            QElapsedTimer sinceTick;
            QTimer zero;
            connect(&zero, &QTimer::timeout, this, [&] {
                ++n;
                longestGap = std::max(longestGap, sinceTick.restart());
            });
            zero.start(0);
            sinceTick.start();
            click(dlg, button);
            QTest::qWait(300);
            zero.stop();
            ticks = n;
            running = dlg.VenderBusy() && dlg.TransferProgress() && dlg.TransferProgress()->isVisible();
            closing.start();
            windowClick(dlg.item(platform::IDOK));
        });
        dlg.runModal();
        const qint64 closedAfter = closing.isValid() ? closing.elapsed() : -1;
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QVERIFY2(longestGap < 250, qPrintable(QString::number(longestGap)));
        QVERIFY2(running, "the transfer was not under way");
        QVERIFY2(closedAfter >= 0 && closedAfter < 500, qPrintable(QString::number(closedAfter)));
        QVERIFY(!dlg.TransferProgress());
        QTRY_VERIFY_WITH_TIMEOUT(m_vendor->worker.Idle(), 500);
        QCoreApplication::processEvents();
        QVERIFY(m_ui->boxes->boxes().empty());
        QVERIFY(!m_vendor->vender.IsConnected());
        QCOMPARE(dlg.Params(), MfpParameterSet::Initial());
    }

    void entryWithAnotherPaperNumberKeepsItsPlace()
    {
        MfpParameterSet held = varied();
        held.entry(4).paperNumber() = 7;
        held.entry(7).paperNumber() = 4;
        vendorHolds(held);
        auto dlg = openDialog();
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        waitForTheVendor(*dlg);
        select(*dlg, 0x15);
        QCOMPARE(title(*dlg), QString::fromUtf8("用紙設定 - 用紙 < 8 >"));
        QCOMPARE(rows(*dlg), entryRows(held, 4));
        pick(*dlg, CMfpcnfDlg::IDC_OTHER_SPEC, 3);
        QCOMPARE(dlg->Params().entryByte(4, OtherSpec), uint8_t(3));
        QCOMPARE(dlg->Params().entryByte(4, PaperNumber), uint8_t(7)); // never changed by the dialog
    }

    void vendorNotReachable()
    {
        m_vendor->sim.reset();
        m_vendor->pointAt(testutil::portWithNothingListening());
        auto dlg = openDialog();
        waitForTheVendor(*dlg);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(1));
        QCOMPARE(u(m_ui->boxes->boxes()[0].text), QString::fromUtf8("通信できません。\n環境を確認してください。"));
        click(*dlg, CMfpcnfDlg::IDC_RECEIVE);
        waitForTheVendor(*dlg);
        expectBox(1, FailureMessage(mfptext::kTitleReceive), MsgIcon::Stop);
        QCOMPARE(dlg->Params(), MfpParameterSet::Initial());
    }

    void saveAsksBeforeOverwritingAndReportsFailures()
    {
        auto dlg = openDialog();
        select(*dlg, 0x20);
        pick(*dlg, CMfpcnfDlg::IDC_FAX_LINE2, 1);
        MfpParameterSet expected = MfpParameterSet::Initial();
        expected.faxLine2() = 1;

        m_ui->files->answer(std::nullopt); // cancel
        click(*dlg, CMfpcnfDlg::IDC_SAVE);
        QVERIFY(m_ui->boxes->boxes().empty());
        QCOMPARE(m_ui->files->requests().size(), size_t(1));
        const platform::FileDialogRequest &r = m_ui->files->requests()[0];
        QVERIFY(r.save);
        QCOMPARE(r.initialName, std::string("MFPconfig.csv"));
        QCOMPARE(r.defaultExtension, std::string("csv"));
        QCOMPARE(u(r.filter), QString::fromUtf8("MFPファイル形式 (*.csv)|*.csv||"));

        const std::string path = file("MFPconfig.csv");
        m_ui->files->answer(path);
        click(*dlg, CMfpcnfDlg::IDC_SAVE);
        expectBox(0, platform::cp932FromUtf8("ファイルを記録しました"), MsgIcon::Information);
        QCOMPARE(slurp(path), FormatMfpFile(expected));

        std::ofstream(path, std::ios::binary) << "old";
        m_ui->files->answer(path);
        m_ui->boxes->answer(MsgResult::No);
        click(*dlg, CMfpcnfDlg::IDC_SAVE);
        expectBox(1, filetext::kMsgOverwrite, MsgIcon::Question);
        QCOMPARE(m_ui->boxes->boxes()[1].buttons, platform::MsgButtons::YesNo);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(2));
        QCOMPARE(slurp(path), std::string("old"));

        m_ui->files->answer(path);
        m_ui->boxes->answer(MsgResult::Yes);
        click(*dlg, CMfpcnfDlg::IDC_SAVE);
        expectBox(3, platform::cp932FromUtf8("ファイルを記録しました"), MsgIcon::Information);
        QCOMPARE(slurp(path), FormatMfpFile(expected));

        // A folder of that name: asked, then it cannot be created and nothing is replaced.
        QVERIFY(QDir(m_ui->dir.path()).mkdir("folder.csv"));
        m_ui->files->answer(file("folder.csv"));
        m_ui->boxes->answer(MsgResult::Yes);
        click(*dlg, CMfpcnfDlg::IDC_SAVE);
        expectBox(5, platform::cp932FromUtf8("ファイルが作れません！"), MsgIcon::Exclamation);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(6));
        QVERIFY(QFileInfo(QString::fromStdString(file("folder.csv"))).isDir());
    }

    void loadMergesAndRefreshesTheShownPanel()
    {
        auto dlg = openDialog();
        select(*dlg, 0x14);
        const std::string good = file("good.csv");
        std::ofstream(good, std::ios::binary) << "MFPconfig\n3,7,1,0,1,0,2,3,4,5,1\n100,1\n";
        const std::string wrong = file("wrong.csv");
        std::ofstream(wrong, std::ios::binary) << "MFPConfig\r\n3,9\r\n";

        m_ui->files->answer(file("missing.csv"));
        click(*dlg, CMfpcnfDlg::IDC_LOAD);
        QVERIFY(!m_ui->files->requests()[0].save);
        expectBox(0, filetext::kMsgCannotOpenFile, MsgIcon::Stop);
        m_ui->files->answer(wrong);
        click(*dlg, CMfpcnfDlg::IDC_LOAD);
        expectBox(1, platform::cp932FromUtf8("異なるファイルです！"), MsgIcon::Stop);
        QCOMPARE(m_ui->boxes->boxes().size(), size_t(2));
        QCOMPARE(dlg->Params(), MfpParameterSet::Initial());

        m_ui->files->answer(good);
        click(*dlg, CMfpcnfDlg::IDC_LOAD);
        expectBox(2, mfptext::kMsgLoaded, MsgIcon::Information);
        MfpParameterSet expected = MfpParameterSet::Initial();
        const uint8_t entry3[] = {3, 7, 1, 0, 1, 0, 2, 3, 4, 5, 1};
        std::copy(std::begin(entry3), std::end(entry3), expected.bytes.begin() + 33);
        expected.faxLine2() = 1;
        QCOMPARE(dlg->Params(), expected);
        QCOMPARE(rows(*dlg), entryRows(expected, 3)); // paper 4 is showing
        QCOMPARE(title(*dlg), QString::fromUtf8("用紙設定 - 用紙 < 4 >"));
    }
};

QTEST_MAIN(TestMfpcnfDlg)
#include "test_mfpcnfdlg.moc"
