#include "logo/ui/shopdlg.h"

#include "platform/messages.h"
#include "logo/logorender.h"
#include "logo/workfile.h"
#include "platform/codepage.h"
#include "platform/ui/controls.h"
#include "platform/ui/filedialog.h"
#include "platform/ui/messagebox.h"
#include "texts/logo.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStringEncoder>
#include <QTextCursor>

#include <algorithm>
#include <climits>
#include <optional>

using platform::MsgIcon;

namespace {

const std::string &noBackgroundCaption()
{
    static const std::string text = logotext::kNoBackground;
    return text;
}

// A path the file dialog service returned (file-system bytes) as a QString.
QString pathOf(const platform::FileDialogResult &chosen)
{
    return QFile::decodeName(QByteArray::fromStdString(chosen.path));
}

const std::string &layoutFilter()
{
    static const std::string filter = logotext::kLayoutFileFilter;
    return filter;
}

// Runs a file dialog; nothing when the operator cancels.
std::optional<platform::FileDialogResult> chooseFile(bool save, const std::string &initialName,
                                                     const char *extension, const std::string &filter)
{
    platform::FileDialogRequest request;
    request.save = save;
    request.initialName = initialName;
    request.defaultExtension = extension;
    request.filter = filter;
    return platform::runFileDialog(request);
}

// The path of a file to write, chosen in a save dialog; a file that exists only when the
// operator agrees to replace it.
std::optional<QString> chooseFileToWrite(const char *initialName, const char *extension, const std::string &filter)
{
    const std::optional<platform::FileDialogResult> chosen = chooseFile(true, initialName, extension, filter);
    if (!chosen)
        return std::nullopt;
    const QString path = pathOf(*chosen);
    if (QFileInfo(path).exists() && !AskOverwrite())
        return std::nullopt;
    return path;
}

int32_t addClamped(int32_t a, int b)
{
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int32_t>(std::clamp<long long>(sum, INT32_MIN, INT32_MAX));
}

// The edit box's text with every line break as CR LF, as the layer keeps it.
QString withCrLf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

// Input methods and other programs on Linux give a few characters in their JIS form, which
// CP932 holds under another code point: the wave dash, the double vertical line, the minus
// sign, the em dash, and the cent, pound and not signs. Each is taken as its CP932 twin,
// so "〜" typed with an input method is the same character (0x8160) as on Windows.
QString withCp932Forms(QString text)
{
    static const std::pair<char16_t, char16_t> kTwins[] = {
        {u'\u301C', u'\uFF5E'}, {u'\u2016', u'\u2225'}, {u'\u2212', u'\uFF0D'}, {u'\u2014', u'\u2015'},
        {u'\u00A2', u'\uFFE0'}, {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'},
    };
    for (const auto &[jis, cp932] : kTwins)
        text.replace(QChar(jis), QChar(cp932));
    return text;
}

// `text` as CP932, or nothing when some character has no CP932 form; `refused` then
// receives the first such character.
std::optional<std::string> strictCp932(const QString &text, QString &refused)
{
    QStringEncoder whole("windows-31j", QStringConverter::Flag::Stateless);
    const QByteArray bytes = whole.encode(text);
    if (!whole.hasError())
        return bytes.toStdString();
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        QStringEncoder single("windows-31j", QStringConverter::Flag::Stateless);
        const QByteArray b = single.encode(one);
        if (single.hasError() || b.isEmpty()) {
            refused = one;
            return std::nullopt;
        }
    }
    refused = QStringLiteral("?");
    return std::nullopt;
}

} // namespace

const platform::CommandTable<CShopDlg> CShopDlg::kCommands = {
    {IDC_SEND, platform::Notify::Clicked, &CShopDlg::OnSendLogo},
    {IDC_LOAD, platform::Notify::Clicked, &CShopDlg::LoadLayout},
    {IDC_SAVE, platform::Notify::Clicked, &CShopDlg::SaveLayout},
    {IDC_RECEIPT_SIZE, platform::Notify::Clicked, &CShopDlg::OnReceiptSize},
    {IDC_BACKGROUND, platform::Notify::Clicked, &CShopDlg::OnChooseBackground},
    {IDC_SHOPNAME_RADIO, platform::Notify::Clicked, &CShopDlg::OnShopNameRadio},
    {IDC_TEL_RADIO, platform::Notify::Clicked, &CShopDlg::OnTelRadio},
    {IDC_SHOPNAME_EDIT, platform::Notify::Change, &CShopDlg::OnShopNameEdited},
    {IDC_TEL_EDIT, platform::Notify::Change, &CShopDlg::OnTelEdited},
    {IDC_RESET_POSITION, platform::Notify::Clicked, &CShopDlg::OnResetPosition},
    {IDC_FONT, platform::Notify::SelEndOk, &CShopDlg::OnFontSelected},
    {IDC_SIZE, platform::Notify::SelEndOk, &CShopDlg::OnSizeSelected},
    {IDC_BACK, platform::Notify::Clicked, &CShopDlg::OnBack},
};

CShopDlg::CShopDlg(VenderSession session, bool shopLogo)
    : CVenderDialog(IDD, std::move(session)),
      m_shopLogo(shopLogo), m_canvas(*this)
{
    setCommandTable(kCommands);
    connect(m_runner, &CVenderRunner::busyChanged, this, [this](bool busy) { enableItem(IDC_SEND, !busy); });
    m_sizeList = item<QComboBox>(IDC_SIZE);
    m_fontList = item<QComboBox>(IDC_FONT);
}

CShopDlg::~CShopDlg()
{
    destroyWindow();
}

std::string CShopDlg::UnencodableMessage(const QString &character)
{
    const uint code = character.isEmpty() ? 0u : uint(character.toUcs4().value(0));
    const QString hex = QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return platform::toCp932(
        platform::fromCp932(logotext::kMsgCharacterNotCp932).arg(hex));
}

std::string CShopDlg::UnencodableFileNameMessage()
{
    return logotext::kMsgFileNameNotCp932;
}

bool CShopDlg::OnInitDialog()
{
    CVenderDialog::OnInitDialog();

    m_currentLayer = &m_layers[ShopNameLayer];
    m_backgroundLoaded = false;

    // The preview, owned by the dialog; it is shown beside it, without taking the focus,
    // once the dialog is on screen (showEvent).
    m_canvas.setOwner(this);
    m_canvas.create();
    m_canvas.setAttribute(Qt::WA_ShowWithoutActivating);
    keepAbove(&m_canvas);

    m_workImage = CreateWorkImage();

    platform::comboResetContent(m_fontList);
    for (const std::string &face : FontList())
        platform::comboAddString(m_fontList, face);
    platform::comboResetContent(m_sizeList);
    for (const std::string &size : SizeList())
        platform::comboAddString(m_sizeList, size);

    SetPrinterType();
    SelectLayer(ShopNameLayer);
    return true;
}

void CShopDlg::OnDestroy()
{
    CVenderDialog::OnDestroy(); // ends a transfer under way at once
    m_canvas.destroyWindow();
    m_progress.reset();
    m_workImage = QImage();
    m_background = QImage();
}

namespace {

// The frame a window manager draws around `w`, as far as it is known (none before the
// window was first shown).
QMargins frameOf(const QWidget *w)
{
    if (!w)
        return {};
    const QRect f = w->frameGeometry();
    const QRect g = w->geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

} // namespace

void CShopDlg::placeNearOwner(QWidget *owner)
{
    const QRect screen = availableArea(owner ? owner : this);
    // The owner's frame stands in for the frames of the dialog and the preview, which are
    // known only once they are on screen (the same window manager draws all three).
    const QMargins frame = frameOf(owner);
    const QSize dlg = size().grownBy(frame);
    const QSize canvas = m_canvas.ClientSize().grownBy(frame);
    QSize pair(dlg.width() + kCanvasGap + canvas.width(), std::max(dlg.height(), canvas.height()));
    if (pair.width() > screen.width())
        pair = QSize(std::max(dlg.width(), canvas.width()), dlg.height() + kCanvasGap + canvas.height());
    QRect r(QPoint(0, 0), pair);
    r.moveCenter(owner ? owner->frameGeometry().center() : screen.center());
    move(keptWithin(r, screen).topLeft());
}

void CShopDlg::showEvent(QShowEvent *event)
{
    platform::Dialog::showEvent(event);
    QMetaObject::invokeMethod(this, &CShopDlg::ShowCanvas, Qt::QueuedConnection);
}

void CShopDlg::ShowCanvas()
{
    if (!isVisible() || m_canvas.isVisible())
        return;
    PlaceCanvas();
    m_canvas.show();
}

void CShopDlg::PlaceCanvas()
{
    // Right of the dialog, else left of it, else below, else above; where none of these
    // fits the screen, as near the right-hand place as the screen allows.
    const QRect screen = availableArea(this);
    QMargins frame = frameOf(this);
    if (frame.isNull())
        frame = frameOf(Dialog::mainWindow());
    const QRect dlg = geometry().marginsAdded(frame);
    const QSize canvas = m_canvas.size().grownBy(frame);
    const QRect places[] = {
        QRect(QPoint(dlg.right() + 1 + kCanvasGap, dlg.top()), canvas),
        QRect(QPoint(dlg.left() - kCanvasGap - canvas.width(), dlg.top()), canvas),
        QRect(QPoint(dlg.left(), dlg.bottom() + 1 + kCanvasGap), canvas),
        QRect(QPoint(dlg.left(), dlg.top() - kCanvasGap - canvas.height()), canvas),
    };
    QRect chosen = keptWithin(places[0], screen);
    for (const QRect &place : places) {
        if (!screen.isValid() || screen.contains(place)) {
            chosen = place;
            break;
        }
    }
    m_canvas.move(chosen.topLeft());
}

void CShopDlg::DoDataExchange()
{
    setRadioIndex(IDC_SHOPNAME_RADIO, m_layerRadio);
    setRadioIndex(IDC_RECEIPT_SIZE, m_sizeRadio);
}

void CShopDlg::RenderLogo()
{
    ::RenderLogo(m_workImage, m_background, m_layers);
    m_canvas.update();
}

void CShopDlg::RepaintCanvas()
{
    m_canvas.update();
}

void CShopDlg::SelectLayer(int index)
{
    index = index == TelLayer ? TelLayer : ShopNameLayer;
    enableItem(IDC_SHOPNAME_EDIT, index == ShopNameLayer);
    enableItem(IDC_TEL_EDIT, index == TelLayer);
    m_layerRadio = index;
    m_currentLayer = &m_layers[size_t(index)];

    // The first entries that begin with the layer's face name and size; none: no selection.
    platform::comboSetCurSel(m_fontList, platform::comboFindString(m_fontList, -1, m_currentLayer->faceName));
    platform::comboSetCurSel(m_sizeList,
                             platform::comboFindString(m_sizeList, -1, std::to_string(m_currentLayer->size)));

    DoDataExchange();
    RenderLogo();
}

void CShopDlg::SetPrinterType()
{
    m_printerType = kNormalPrinterType;
    m_sizeRadio = 0;
    if (!m_backgroundLoaded)
        m_background = DefaultBackground();
    // The preview's client area is the logo at one pixel (block) per dot; its position stays.
    m_canvas.setFixedSize(m_canvas.ClientSize());
    DoDataExchange();
    RepaintCanvas();
    RenderLogo();
}

void CShopDlg::MoveCurrentLayer(int dx, int dy)
{
    m_currentLayer->x = addClamped(m_currentLayer->x, dx);
    m_currentLayer->y = addClamped(m_currentLayer->y, dy);
    RenderLogo();
}

void CShopDlg::OnShopNameRadio()
{
    SelectLayer(ShopNameLayer);
    if (QWidget *edit = item(IDC_SHOPNAME_EDIT))
        edit->setFocus(Qt::OtherFocusReason);
}

void CShopDlg::OnTelRadio()
{
    SelectLayer(TelLayer);
    if (QWidget *edit = item(IDC_TEL_EDIT))
        edit->setFocus(Qt::OtherFocusReason);
}

void CShopDlg::SetEditText(int id, const std::string &text)
{
    const bool was = m_settingEditText;
    m_settingEditText = true;
    setItemText(id, text);
    m_settingEditText = was;
}

void CShopDlg::TakeEditedText(int id, int index)
{
    // A text the dialog itself puts into a box is already the layer's; taking it back
    // through the box could only lose bytes that do not survive the round trip.
    if (m_settingEditText)
        return;
    auto *edit = item<QPlainTextEdit>(id);
    if (!edit)
        return;
    TextLayer &layer = m_layers[size_t(index)];
    const QString typed = edit->toPlainText();
    QString refused;
    if (const std::optional<std::string> bytes = strictCp932(withCp932Forms(withCrLf(typed)), refused)) {
        layer.text = *bytes;
        RenderLogo();
        return;
    }
    // Refused: the box goes back to the layer's text, the cursor to where the change began.
    const int cursor = edit->textCursor().position();
    SetEditText(id, layer.text);
    const int previousLength = int(edit->toPlainText().size());
    const int at = std::clamp(cursor - (int(typed.size()) - previousLength), 0, previousLength);
    QTextCursor c = edit->textCursor();
    c.setPosition(at);
    edit->setTextCursor(c);
    platform::messageBox(UnencodableMessage(refused), MsgIcon::Exclamation);
}

void CShopDlg::OnShopNameEdited()
{
    TakeEditedText(IDC_SHOPNAME_EDIT, ShopNameLayer);
    update();
}

void CShopDlg::OnTelEdited()
{
    TakeEditedText(IDC_TEL_EDIT, TelLayer);
}

void CShopDlg::OnFontSelected()
{
    const int sel = platform::comboCurSel(m_fontList);
    if (sel < 0)
        return;
    m_currentLayer->faceName = platform::comboItemText(m_fontList, sel);
    RenderLogo();
}

void CShopDlg::OnSizeSelected()
{
    const int sel = platform::comboCurSel(m_sizeList);
    if (sel < 0)
        return;
    m_currentLayer->size = int32_t(platform::fromCp932(platform::comboItemText(m_sizeList, sel)).toInt());
    RenderLogo();
}

void CShopDlg::OnResetPosition()
{
    m_currentLayer->x = 0;
    m_currentLayer->y = 0;
    RenderLogo();
}

void CShopDlg::OnReceiptSize()
{
    SetPrinterType();
}

void CShopDlg::OnChooseBackground()
{
    const std::optional<platform::FileDialogResult> chosen =
        chooseFile(false, m_backgroundLoaded ? itemText(IDC_BACKGROUND) : std::string("Shop.bmp"), "bmp",
                   logotext::kPictureFileFilter);
    if (!chosen) {
        // Cancelling is how the operator removes a background picture.
        m_backgroundLoaded = false;
        setItemText(IDC_BACKGROUND, noBackgroundCaption());
        m_backgroundName.clear();
        SetPrinterType();
        return;
    }
    // The picture's name goes into layout files as CP932; a name that CP932 cannot hold
    // would be saved with "?" in it and the picture lost at the next load.
    if (platform::fromCp932(chosen->fileNameText) != QFileInfo(pathOf(*chosen)).fileName()) {
        platform::messageBox(UnencodableFileNameMessage(), MsgIcon::Exclamation);
        return;
    }
    QImage picture;
    if (LoadBackgroundPicture(pathOf(*chosen), picture)) {
        m_background = std::move(picture);
        m_backgroundLoaded = true;
        setItemText(IDC_BACKGROUND, chosen->fileNameText);
        m_backgroundName = chosen->fileNameText;
    }
    RenderLogo();
    update();
}

void CShopDlg::SaveLayout()
{
    const std::optional<QString> path = chooseFileToWrite("default.slp", "slp", layoutFilter());
    if (!path)
        return;
    LogoLayout layout;
    layout.printerType = m_printerType;
    layout.backgroundName = m_backgroundName;
    layout.layers = m_layers;
    const SaveLayoutOutcome outcome = SaveLayoutFile(*path, layout);
    if (outcome == SaveLayoutOutcome::Saved) {
        m_filePrinterType = m_printerType;
        m_fileLayers = m_layers;
    }
    ShowMessage(MessageFor(outcome));
}

void CShopDlg::LoadLayout()
{
    const std::optional<platform::FileDialogResult> chosen = chooseFile(false, "default.slp", "slp", layoutFilter());
    if (!chosen)
        return;
    const QString path = pathOf(*chosen);

    LogoLayout fileCopy;
    fileCopy.printerType = m_filePrinterType;
    fileCopy.backgroundName = m_backgroundName;
    fileCopy.layers = m_fileLayers;
    const LoadLayoutOutcome outcome = LoadLayoutFile(path, fileCopy);
    if (outcome != LoadLayoutOutcome::Loaded) {
        ShowMessage(MessageFor(outcome));
        return;
    }
    m_filePrinterType = fileCopy.printerType;
    m_backgroundName = fileCopy.backgroundName;
    m_fileLayers = fileCopy.layers;

    // The background the layout names lies beside it; one that cannot be loaded leaves
    // the picture in use as it is.
    if (!m_backgroundName.empty()) {
        const QString name = platform::fromCp932(m_backgroundName);
        QImage picture;
        if (LoadBackgroundPicture(QFileInfo(path).absoluteDir().filePath(name), picture)) {
            m_background = std::move(picture);
            m_backgroundLoaded = true;
            setItemText(IDC_BACKGROUND, m_backgroundName);
        }
    }

    m_layers = m_fileLayers;
    SetEditText(IDC_SHOPNAME_EDIT, m_layers[ShopNameLayer].text);
    SetEditText(IDC_TEL_EDIT, m_layers[TelLayer].text);

    SelectLayer(ShopNameLayer);
    SetPrinterType();
    DoDataExchange();
    ShowMessage(MakeMessage(logotext::kMsgLayoutLoaded, MsgIcon::Information));
}

bool CShopDlg::WriteWorkImage()
{
    const WorkFileOutcome outcome = ::WriteWorkImage(m_workImage, QString::fromLatin1(kWorkFileName), &m_workFilePath);
    ShowMessage(MessageFor(outcome));
    return outcome == WorkFileOutcome::Written;
}

void CShopDlg::ExportHeader()
{
    if (const std::optional<QString> path = chooseFileToWrite("Shop.H", "h", "*.h"))
        ShowMessage(MessageFor(::ExportHeader(m_workFilePath, *path)));
}

void CShopDlg::OnSendLogo()
{
    // One transfer at a time ("送信" is disabled meanwhile); nothing is written for a send
    // that does not go. Other work of the dialog (the session's opening) does not stop
    // it: the transfer waits on the worker behind it.
    if (m_progress)
        return;
    // A work file that cannot be written stops the send: an older file left from before
    // must not reach the vendor as if it were the logo on screen.
    if (!WriteWorkImage())
        return;
    if (m_shopLogo)
        ExportHeader();

    m_progress = std::make_unique<CTransferProgress>(this, logotext::kProgressSendingLogo);
    connect(m_progress.get(), &CTransferProgress::cancelRequested, m_runner, &CVenderRunner::Cancel);
    m_progress->ShowOver();
    const int printerType = m_printerType;
    const std::string path = QFile::encodeName(m_workFilePath).toStdString();
    CVenderRunner::Poster post = m_runner->MakePoster();
    m_runner->Run(
        [this, printerType, path, post](COrvathVender &v) {
            // On the worker: the progress goes to the window through the poster, which
            // drops it once the dialog has gone.
            v.SetProgressSink([this, post](const VenderProgress &p) {
                post([this, p] {
                    if (m_progress)
                        m_progress->SetProgress(p);
                });
            });
            const bool ok = v.SendLogo(printerType, path);
            v.SetProgressSink({});
            return ok;
        },
        [this](bool sent) { TransferEnded(sent); });
}

void CShopDlg::TransferEnded(bool sent)
{
    m_progress.reset();
    if (sent)
        ShowMessage(MakeMessage(logotext::kMsgLogoSent, MsgIcon::Information));
    else
        ShowMessage(MakeMessage(logotext::kMsgLogoSendFailed, MsgIcon::Stop));
}

void CShopDlg::OnBack()
{
    endDialog(platform::IDOK);
}
