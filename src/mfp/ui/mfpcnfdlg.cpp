#include "mfp/ui/mfpcnfdlg.h"

#include "vendorui/reportfailure.h"
#include "platform/messages.h"
#include "mfp/mfpfile.h"
#include "platform/codepage.h"
#include "platform/ui/controls.h"
#include "platform/ui/filedialog.h"
#include "platform/ui/messagebox.h"
#include "texts/files.h"
#include "texts/mfp.h"

#include <QComboBox>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>

using platform::MsgIcon;

namespace {

constexpr int kTagRole = Qt::UserRole;

template <size_t N>
void fillList(QComboBox *list, const char *const (&names)[N])
{
    for (const char *name : names)
        platform::comboAddString(list, name);
}

std::string formatNumber(const char *format, int n)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, format, n);
    return buf;
}

platform::FileDialogRequest fileRequest(bool save)
{
    platform::FileDialogRequest r;
    r.save = save;
    r.initialName = mfptext::kFileDefaultName;
    r.defaultExtension = mfptext::kFileExtension;
    r.filter = mfptext::kFileFilter;
    return r;
}

} // namespace

const platform::CommandTable<CMfpcnfDlg> CMfpcnfDlg::kCommands = {
    {IDC_RECEIVE, platform::Notify::Clicked, &CMfpcnfDlg::OnReceive},
    {IDC_SEND, platform::Notify::Clicked, &CMfpcnfDlg::OnSend},
    {IDC_LOAD, platform::Notify::Clicked, &CMfpcnfDlg::OnLoad},
    {IDC_SAVE, platform::Notify::Clicked, &CMfpcnfDlg::OnSave},
    {IDC_PAPER_CODE, platform::Notify::SelChange, &CMfpcnfDlg::OnPaperCodeChanged},
    {IDC_PAPER_TYPE, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_PAPER_WEIGHT, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_INDEX_TAB, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_PAPER_COLOR, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_OTHER_SPEC, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_LEF_SEF, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_WIDE_PAPER, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_INDEX_PAPER, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_RESERVED, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_FAX_LINE2, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_SCAN_CHARGING, platform::Notify::SelChange, &CMfpcnfDlg::OnSettingChanged},
    {IDC_TREE, platform::Notify::TreeSelChanged, &CMfpcnfDlg::OnTreeSelChanged},
};

CMfpcnfDlg::CMfpcnfDlg(VenderSession session)
    : CVenderDialog(IDD, std::move(session))
{
    connect(m_runner, &CVenderRunner::busyChanged, this, [this](bool busy) {
        for (int id : {IDC_RECEIVE, IDC_SEND, IDC_LOAD})
            enableItem(id, !busy);
    });
    setCommandTable(kCommands);
    DoDataExchange();
}

CMfpcnfDlg::~CMfpcnfDlg()
{
    destroyWindow();
}

void CMfpcnfDlg::DoDataExchange()
{
    m_cbScanCharging = item<QComboBox>(IDC_SCAN_CHARGING);
    m_cbFaxLine2 = item<QComboBox>(IDC_FAX_LINE2);
    m_stTitle = item(IDC_TITLE);
    m_cbPaperType = item<QComboBox>(IDC_PAPER_TYPE);
    m_cbPaperWeight = item<QComboBox>(IDC_PAPER_WEIGHT);
    m_cbIndexTab = item<QComboBox>(IDC_INDEX_TAB);
    m_cbPaperColor = item<QComboBox>(IDC_PAPER_COLOR);
    m_cbOtherSpec = item<QComboBox>(IDC_OTHER_SPEC);
    m_cbWidePaper = item<QComboBox>(IDC_WIDE_PAPER);
    m_cbLefSef = item<QComboBox>(IDC_LEF_SEF);
    m_cbReserved = item<QComboBox>(IDC_RESERVED);
    m_cbIndexPaper = item<QComboBox>(IDC_INDEX_PAPER);
    m_cbPaperCode = item<QComboBox>(IDC_PAPER_CODE);
    m_tree = item<QTreeWidget>(IDC_TREE);
}

QComboBox *CMfpcnfDlg::paperList(size_t field) const
{
    switch (field) {
    case PaperCodeIndex: return m_cbPaperCode;
    case LefSef: return m_cbLefSef;
    case WidePaper: return m_cbWidePaper;
    case IndexPaper: return m_cbIndexPaper;
    case Reserved: return m_cbReserved;
    case PaperType: return m_cbPaperType;
    case PaperWeight: return m_cbPaperWeight;
    case IndexTab: return m_cbIndexTab;
    case PaperColor: return m_cbPaperColor;
    case OtherSpec: return m_cbOtherSpec;
    }
    return nullptr;
}

bool CMfpcnfDlg::OnInitDialog()
{
    CVenderDialog::OnInitDialog();
    m_params = MfpParameterSet::Initial();
    m_currentEntry.reset();
    m_currentKind = MfpParamKind::Paper;
    FillLists();
    refresh();
    return true;
}

void CMfpcnfDlg::OnDestroy()
{
    CVenderDialog::OnDestroy(); // ends a transfer under way at once
    m_progress.reset();
}

void CMfpcnfDlg::FillLists()
{
    if (!m_tree || !m_cbPaperCode)
        return;
    auto addItem = [](const std::string &text, int tag) {
        auto *item = new QTreeWidgetItem(QStringList(platform::fromCp932(text)));
        item->setData(0, kTagRole, tag);
        return item;
    };
    QTreeWidgetItem *paper = addItem(mfptext::kTreePaperRoot, TAG_PAPER);
    m_tree->addTopLevelItem(paper);
    for (int n = 1; n <= int(kMfpPaperCount); ++n)
        paper->addChild(addItem(formatNumber(mfptext::kTreePaperItemFormat, n), TAG_PAPER + n));
    m_tree->addTopLevelItem(addItem(mfptext::kTreeFaxLine2, TAG_FAX_LINE2));
    m_tree->addTopLevelItem(addItem(mfptext::kTreeScanCharging, TAG_SCAN_CHARGING));

    for (size_t row = 0; row < kPaperCodeRows; ++row)
        platform::comboAddString(m_cbPaperCode, PaperCodeItemText(row));
    fillList(m_cbPaperType, mfptext::kPaperTypeNames);
    fillList(m_cbPaperWeight, mfptext::kPaperWeightNames);
    fillList(m_cbIndexTab, mfptext::kIndexTabNames);
    fillList(m_cbPaperColor, mfptext::kPaperColorNames);
    fillList(m_cbOtherSpec, mfptext::kOtherSpecNames);
}

void CMfpcnfDlg::refresh()
{
    ShowPanel();
    ModelToControls();
}

void CMfpcnfDlg::OnTreeSelChanged()
{
    const QTreeWidgetItem *selected = m_tree ? m_tree->currentItem() : nullptr;
    if (!selected)
        return;
    const int tag = selected->data(0, kTagRole).toInt();
    switch (tag & ~0xF) {
    case TAG_PAPER:
        m_currentKind = MfpParamKind::Paper;
        if (tag & 0xF)
            m_currentEntry = size_t((tag & 0xF) - 1);
        else
            m_currentEntry.reset();
        break;
    case TAG_FAX_LINE2:
        m_currentKind = MfpParamKind::FaxLine2;
        break;
    case TAG_SCAN_CHARGING:
        m_currentKind = MfpParamKind::ScanCharging;
        break;
    default:
        return;
    }
    refresh();
}

void CMfpcnfDlg::ShowPanel()
{
    const bool paper = m_currentKind == MfpParamKind::Paper;
    for (size_t f = PaperCodeIndex; f < kMfpEntrySize; ++f)
        if (QComboBox *list = paperList(f))
            list->setVisible(paper);
    for (int id = IDC_PAPER_FIRST_LABEL; id <= IDC_PAPER_LAST_LABEL; ++id)
        showItem(id, paper);
    const bool fax = m_currentKind == MfpParamKind::FaxLine2;
    const bool scan = m_currentKind == MfpParamKind::ScanCharging;
    showItem(IDC_FAX_LABEL, fax);
    showItem(IDC_FAX_LINE2, fax);
    showItem(IDC_SCAN_LABEL, scan);
    showItem(IDC_SCAN_CHARGING, scan);
}

void CMfpcnfDlg::ModelToControls()
{
    switch (m_currentKind) {
    case MfpParamKind::FaxLine2:
        setItemText(IDC_TITLE, mfptext::kTreeFaxLine2);
        platform::comboSetCurSel(m_cbFaxLine2, m_params.faxLine2());
        return;
    case MfpParamKind::ScanCharging:
        setItemText(IDC_TITLE, mfptext::kTreeScanCharging);
        platform::comboSetCurSel(m_cbScanCharging, m_params.scanCharging());
        return;
    case MfpParamKind::Paper:
        break;
    }
    bool editable = false;
    if (m_currentEntry) {
        MfpPaperEntry e = m_params.entry(*m_currentEntry);
        setItemText(IDC_TITLE, formatNumber(mfptext::kTitlePaperFormat, e.paperNumber() + 1));
        // A value beyond the end of its list leaves that list with no row selected.
        for (size_t f = PaperCodeIndex; f < kMfpEntrySize; ++f)
            platform::comboSetCurSel(paperList(f), e[f]);
        editable = !e.notInUse();
    } else {
        setItemText(IDC_TITLE, mfptext::kTitleNoPaper); // the lists keep what they showed
    }
    enableItem(IDC_PAPER_CODE, m_currentEntry.has_value());
    for (size_t f = LefSef; f < kMfpEntrySize; ++f)
        if (QComboBox *list = paperList(f))
            list->setEnabled(editable);
}

void CMfpcnfDlg::ControlsToModel()
{
    // A list with no row selected stores 255; paperNumber is never changed here.
    auto row = [](const QComboBox *list) { return uint8_t(platform::comboCurSel(list)); };
    switch (m_currentKind) {
    case MfpParamKind::Paper:
        if (m_currentEntry) {
            MfpPaperEntry e = m_params.entry(*m_currentEntry);
            for (size_t f = PaperCodeIndex; f < kMfpEntrySize; ++f)
                e[f] = row(paperList(f));
        }
        break;
    case MfpParamKind::FaxLine2:
        m_params.faxLine2() = row(m_cbFaxLine2);
        break;
    case MfpParamKind::ScanCharging:
        m_params.scanCharging() = row(m_cbScanCharging);
        break;
    }
}

void CMfpcnfDlg::OnPaperCodeChanged()
{
    if (!m_currentEntry)
        return;
    const bool wasNotInUse = m_params.entry(*m_currentEntry).notInUse();
    ControlsToModel();
    if (wasNotInUse || m_params.entry(*m_currentEntry).notInUse())
        ModelToControls();
}

void CMfpcnfDlg::OnSettingChanged()
{
    ControlsToModel();
}

namespace {

// The part's name as the tree shows it.
const char *partName(MfpParamKind kind)
{
    switch (kind) {
    case MfpParamKind::Paper:
        return mfptext::kTreePaperRoot;
    case MfpParamKind::FaxLine2:
        return mfptext::kTreeFaxLine2;
    case MfpParamKind::ScanCharging:
        return mfptext::kTreeScanCharging;
    }
    return "";
}

} // namespace

void CMfpcnfDlg::Transfer(const std::string &captionCp932,
                          std::function<bool(COrvathVender &, const MfpPartHook &)> carry,
                          std::function<void(bool)> done)
{
    m_progress = std::make_unique<CTransferProgress>(this, captionCp932);
    connect(m_progress.get(), &CTransferProgress::cancelRequested, m_runner, &CVenderRunner::Cancel);
    m_progress->SetPart(1, int(std::size(kMfpKindsInOrder)), partName(kMfpKindsInOrder[0]));
    m_progress->ShowOver();
    CVenderRunner::Poster post = m_runner->MakePoster();
    m_runner->Run(
        [this, post, carry = std::move(carry)](COrvathVender &v) {
            // On the worker: what the window shows goes there through the poster, which
            // drops it once the dialog has gone.
            v.SetProgressSink([this, post](const VenderProgress &p) {
                post([this, p] {
                    if (m_progress)
                        m_progress->SetProgress(p);
                });
            });
            const bool ok = carry(v, [this, post](size_t index, MfpParamKind kind) {
                post([this, index, kind] {
                    if (m_progress)
                        m_progress->SetPart(int(index) + 1, int(std::size(kMfpKindsInOrder)), partName(kind));
                });
            });
            v.SetProgressSink({});
            return ok;
        },
        [this, done = std::move(done)](bool ok) {
            m_progress.reset();
            done(ok);
        });
}

void CMfpcnfDlg::OnReceive()
{
    // One transfer at a time; the session's opening, still under way, does not stop it:
    // the transfer waits on the worker behind it.
    if (m_progress)
        return;
    // The parts are received into a copy; those that came before a failure go into the
    // set when the transfer ends, and are shown.
    struct Received {
        MfpParameterSet set;
        size_t parts = 0; // parts of kMfpKindsInOrder fully received
    };
    auto received = std::make_shared<Received>(Received{m_params, 0});
    Transfer(
        mfptext::kProgressReceiving,
        [received](COrvathVender &v, const MfpPartHook &beforePart) {
            const bool ok = ReceiveMfpParameters(v, received->set, [&](size_t index, MfpParamKind kind) {
                received->parts = index;
                beforePart(index, kind);
            });
            if (ok)
                received->parts = std::size(kMfpKindsInOrder);
            return ok;
        },
        [this, received](bool ok) {
            for (size_t i = 0; i < received->parts; ++i) {
                const MfpParamKind kind = kMfpKindsInOrder[i];
                std::memcpy(m_params.block(kind), received->set.block(kind), MfpParameterSet::blockSize(kind));
            }
            if (ok)
                platform::messageBox(mfptext::kMsgReceived, MsgIcon::Information);
            else
                ReportFailure(false, mfptext::kTitleReceive);
            refresh();
        });
}

void CMfpcnfDlg::OnSend()
{
    if (m_progress)
        return; // one transfer at a time (as for "受信")
    // m_params already holds every change: nothing is read from the controls first. The
    // set as it is now is what goes, whatever is edited while it goes.
    auto sent = std::make_shared<const MfpParameterSet>(m_params);
    Transfer(
        mfptext::kProgressSending,
        [sent](COrvathVender &v, const MfpPartHook &beforePart) { return SendMfpParameters(v, *sent, beforePart); },
        [](bool ok) {
            if (ok)
                platform::messageBox(mfptext::kMsgSent, MsgIcon::Information);
            else
                ReportFailure(false, mfptext::kTitleSend);
        });
}

void CMfpcnfDlg::OnSave()
{
    const auto chosen = platform::runFileDialog(fileRequest(true));
    if (!chosen)
        return;
    if (MfpFileExists(chosen->path) &&
        platform::messageBox(filetext::kMsgOverwrite, MsgIcon::Question, platform::MsgButtons::YesNo) !=
            platform::MsgResult::Yes)
        return;
    if (SaveMfpFile(chosen->path, m_params) == MfpSaveOutcome::Saved)
        ShowMessage(FileWrittenMessage());
    else
        ShowMessage(CannotCreateFileMessage());
}

void CMfpcnfDlg::OnLoad()
{
    if (const auto chosen = platform::runFileDialog(fileRequest(false))) {
        switch (LoadMfpFile(chosen->path, m_params)) {
        case MfpLoadOutcome::Loaded:
            platform::messageBox(mfptext::kMsgLoaded, MsgIcon::Information);
            break;
        case MfpLoadOutcome::CannotOpen:
            platform::messageBox(filetext::kMsgCannotOpenFile, MsgIcon::Stop);
            break;
        case MfpLoadOutcome::WrongKind:
            ShowMessage(WrongFileMessage());
            break;
        }
    }
    refresh();
}
