#pragma once
// The MFP settings dialog ("MFP設定"): the operator receives the vendor's MFP parameters,
// edits each paper number's settings and the two machine-wide settings, sends them back,
// and saves them to or loads them from the MFP parameter file.
//
// The tree on the left chooses what is edited; the three panels on the right (paper, the
// second FAX line, scan charging) share one area and exactly one is shown. The dialog is
// in one of four states: paper kind with no entry (at start and after "用紙情報設定"),
// paper kind with entry k, FAX kind, scan kind. Every change in a list goes into m_params
// at once; nothing reaches the vendor before "送信". m_params starts in its initial
// state each time the dialog opens and is discarded when it closes.
//
// "受信" and "送信" run on the vendor worker, with a progress window that names the part
// being carried (of three) and has "中止". While one runs, "受信", "送信" and "読込" are
// disabled (a load would be overwritten by the parts received); "戻る" ends it at once.
// A receive works on a copy of the set: the parts received before a failure or a cancel go
// into m_params when it ends, as they would have had it stopped there.
#include "vendorui/transferprogress.h"
#include "vendorui/venderdialog.h"
#include "mfp/mfpparams.h"

#include <memory>
#include <optional>

class QComboBox;
class QTreeWidget;

class CMfpcnfDlg : public CVenderDialog {
    Q_OBJECT
public:
    enum { IDD = 146 };
    enum : int {
        IDC_TITLE = 1060,
        IDC_TREE = 1041,
        IDC_PAPER_CODE = 1042,
        IDC_PAPER_TYPE = 1051,
        IDC_PAPER_WEIGHT = 1052,
        IDC_INDEX_TAB = 1053,
        IDC_PAPER_COLOR = 1054,
        IDC_OTHER_SPEC = 1055,
        IDC_LEF_SEF = 1056,
        IDC_WIDE_PAPER = 1057,
        IDC_INDEX_PAPER = 1058,
        IDC_RESERVED = 1059,
        IDC_FAX_LABEL = 1074,
        IDC_FAX_LINE2 = 1075,
        IDC_SCAN_LABEL = 1076,
        IDC_SCAN_CHARGING = 1077,
        IDC_RECEIVE = 1010,
        IDC_SEND = 1005,
        IDC_LOAD = 1078,
        IDC_SAVE = 1008,
        IDC_PAPER_FIRST_LABEL = 1061, // group boxes and labels of the paper panel: 1061-1072
        IDC_PAPER_LAST_LABEL = 1072,
    };
    // Tree item tags: the kind in the high bits, for paper items the paper number + 1 in
    // the low four bits (0 for "用紙情報設定" itself).
    enum : int { TAG_PAPER = 0x10, TAG_FAX_LINE2 = 0x20, TAG_SCAN_CHARGING = 0x30 };

    explicit CMfpcnfDlg(VenderSession session);
    ~CMfpcnfDlg() override;

    const MfpParameterSet &Params() const { return m_params; }
    std::optional<size_t> CurrentEntry() const { return m_currentEntry; }
    MfpParamKind CurrentKind() const { return m_currentKind; }
    QTreeWidget *Tree() const { return m_tree; }
    // A receive or send is running or waiting on the vendor worker.
    // The progress window of the transfer under way, or nullptr.
    CTransferProgress *TransferProgress() const { return m_progress.get(); }

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

    void FillLists();
    void ShowPanel();
    void ModelToControls();
    void ControlsToModel();
    void OnTreeSelChanged();
    void OnPaperCodeChanged();
    void OnSettingChanged();
    void OnReceive();
    void OnSend();
    void OnSave();
    void OnLoad();

private:
    // Binds each control member to its control.
    void DoDataExchange();
    void refresh(); // ShowPanel, then ModelToControls
    // The paper lists in entry byte order (bytes 1-10).
    QComboBox *paperList(size_t field) const;

    // Starts the progress window and the transfer of the three parts; `carry` carries them
    // on the worker, telling the hook of each part before it goes.
    void Transfer(const std::string &captionCp932, std::function<bool(COrvathVender &, const MfpPartHook &)> carry,
                  std::function<void(bool)> done);

    std::unique_ptr<CTransferProgress> m_progress;
    QComboBox *m_cbScanCharging = nullptr;
    QComboBox *m_cbFaxLine2 = nullptr;
    QWidget *m_stTitle = nullptr;
    QComboBox *m_cbPaperType = nullptr;
    QComboBox *m_cbPaperWeight = nullptr;
    QComboBox *m_cbIndexTab = nullptr;
    QComboBox *m_cbPaperColor = nullptr;
    QComboBox *m_cbOtherSpec = nullptr;
    QComboBox *m_cbWidePaper = nullptr;
    QComboBox *m_cbLefSef = nullptr;
    QComboBox *m_cbReserved = nullptr;
    QComboBox *m_cbIndexPaper = nullptr;
    QComboBox *m_cbPaperCode = nullptr;
    QTreeWidget *m_tree = nullptr;
    MfpParameterSet m_params;
    std::optional<size_t> m_currentEntry;             // entry 0-9 of m_params, or none
    MfpParamKind m_currentKind = MfpParamKind::Paper; // the part of the set the panel shows

    static const platform::CommandTable<CMfpcnfDlg> kCommands;
};
