#pragma once
// The receipt logo dialog ("領収書店名設定"): the operator types the shop name and the
// telephone number, picks a font and size for each, drags them into place in the preview
// window, picks a background picture, keeps the design in layout files (".slp") and sends
// the logo to the vendor.
//
// The dialog holds the edited layout in three pieces: `m_layers` (what the operator edits
// and sees), the file copy (`m_fileLayers`, `m_filePrinterType`: what the last save wrote
// or the last load read, over which the next load reads) and `m_backgroundName`. Every
// change redraws the work image and the preview.
//
// Sending writes the work file, exports the C header when the SHOPLOGO setting is on, and
// hands the work file to the vendor. The work file is addressed by the absolute path it
// was written to, so the header's file dialog (which moves the current directory) cannot
// make the transfer read another file; when the work file cannot be written nothing is
// sent. The transfer runs on the vendor worker: a progress window over the dialog shows the
// blocks the vendor has taken and the attempt, and its "中止" calls the transfer off (a
// failure, as any transfer that stops part-way). "送信" is disabled until the transfer has
// ended; "戻る" ends it at once and closes the dialog.
//
// Texts typed or pasted into the edit boxes are kept as CP932; a character that CP932
// cannot hold is refused with a message and the box keeps its previous text; so is a
// background picture whose file name CP932 cannot hold (layout files keep the name).
#include "vendorui/transferprogress.h"
#include "vendorui/venderdialog.h"
#include "logo/ui/canvasdlg.h"
#include "logo/logolayout.h"

#include <QImage>

#include <array>
#include <memory>
#include <string>

class QComboBox;

class CShopDlg : public CVenderDialog {
    Q_OBJECT
public:
    enum { IDD = 131 };
    enum : int {
        IDC_SEND = 1101,
        IDC_LOAD = 1102,
        IDC_SAVE = 1103,
        IDC_RECEIPT_SIZE = 1104,
        IDC_BACKGROUND = 1105,
        IDC_SHOPNAME_RADIO = 1106,
        IDC_TEL_RADIO = 1107,
        IDC_SHOPNAME_EDIT = 1108,
        IDC_TEL_EDIT = 1109,
        IDC_RESET_POSITION = 1110,
        IDC_FONT = 1111,
        IDC_SIZE = 1112,
        IDC_BACK = platform::IDOK,
    };
    // Space between the dialog's frame and the preview's, in pixels.
    static constexpr int kCanvasGap = 8;

    // `session`: the vendor object with its open and close operations. `shopLogo`: the
    // SHOPLOGO setting; when true, sending also exports the C header.
    CShopDlg(VenderSession session, bool shopLogo);
    ~CShopDlg() override;

    // A logo transfer is running or waiting on the vendor worker.
    // The progress window of the transfer under way, or nullptr.
    CTransferProgress *TransferProgress() const { return m_progress.get(); }

    // The work image the preview shows (384 x 128, one pixel per dot).
    const QImage &WorkImage() const { return m_workImage; }
    CCanvasDlg &Canvas() { return m_canvas; }
    const std::array<TextLayer, 2> &Layers() const { return m_layers; }
    int CurrentLayerIndex() const { return m_currentLayer == &m_layers[1] ? 1 : 0; }
    bool BackgroundLoaded() const { return m_backgroundLoaded; }
    const std::string &BackgroundName() const { return m_backgroundName; }
    const QImage &Background() const { return m_background; }

    void SelectLayer(int index);
    void SetPrinterType();
    // Moves the current layer by (dx, dy) dots, without limits; the preview calls this
    // for every drag step.
    void MoveCurrentLayer(int dx, int dy);
    void RenderLogo();

    // The text that refuses a character CP932 cannot hold (`character` as typed).
    static std::string UnencodableMessage(const QString &character);
    // The text that refuses a background picture whose file name CP932 cannot hold.
    static std::string UnencodableFileNameMessage();

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // The dialog and its preview are placed as a pair: side by side, centred on the
    // owner, within the screen.
    void placeNearOwner(QWidget *owner) override;
    // The preview appears once the dialog is on screen (and modal, when run so), so that
    // it belongs to the dialog from its first event and lies beside it.
    void showEvent(QShowEvent *event) override;
    // The preview stays above the dialog when the dialog is raised or moved over it:
    // some window managers raise a modal dialog above the windows it owns.

    void OnShopNameRadio();
    void OnTelRadio();
    void OnShopNameEdited();
    void OnTelEdited();
    void OnFontSelected();
    void OnSizeSelected();
    void OnResetPosition();
    void OnReceiptSize();
    void OnChooseBackground();
    void OnSendLogo();
    void SaveLayout();
    void LoadLayout();
    void OnBack();

    // Writes the work file; false (after telling the operator) when it cannot be written.
    bool WriteWorkImage();
    void ExportHeader();

private:
    // Moves the two radio-group members to their radio buttons.
    void DoDataExchange();
    // Takes the text of edit box `id` into layer `index`, or refuses it (see above).
    void TakeEditedText(int id, int index);
    // Sets an edit box's text without taking it back as an operator's edit.
    void SetEditText(int id, const std::string &text);
    void RepaintCanvas();
    void ShowCanvas();
    void PlaceCanvas();

    void TransferEnded(bool sent);

    std::unique_ptr<CTransferProgress> m_progress;
    bool m_shopLogo = false;
    QString m_workFilePath; // absolute path of the work file last written

    // The work image, the preview, the controls and the layout being edited.
    QImage m_workImage;
    int32_t m_printerType = kNormalPrinterType;
    CCanvasDlg m_canvas;
    QComboBox *m_sizeList = nullptr;
    QComboBox *m_fontList = nullptr;
    int m_layerRadio = -1;
    int m_sizeRadio = -1;
    QImage m_background;
    std::array<TextLayer, 2> m_layers{};
    TextLayer *m_currentLayer = &m_layers[0];
    bool m_backgroundLoaded = false;
    std::array<TextLayer, 2> m_fileLayers{};
    std::string m_backgroundName;
    int32_t m_filePrinterType = kNormalPrinterType;

    bool m_settingEditText = false; // an edit box's text is being set by the dialog

    static const platform::CommandTable<CShopDlg> kCommands;
};
