// The receipt logo dialog and its preview, driven as an operator would: clicks, typing,
// drags over the preview, scripted file dialogs and message boxes, and the simulated
// vendor on a loopback port.
#include "logo/logorender.h"
#include "logo/ui/shopdlg.h"
#include "logo/workfile.h"
#include "logotestutil.h"
#include "platform/codepage.h"
#include "platform/fonts.h"
#include "platform/ui/controls.h"
#include "platform/ui/filedialog.h"
#include "platform/ui/messagebox.h"
#include "support/simulator.h"
#include "support/ui/dialogfixture.h"
#include "support/vendorfixture.h"
#include "vendorsim/vendorsim.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include "support/ui/windowinput.h"

#include <algorithm>
#include <functional>
#include <memory>

using platform::MsgIcon;
using Box = platform::ScriptedMessageBoxes::Box;
using testutil::Close;

namespace {

QString u(const std::string &cp932)
{
    return platform::fromCp932(cp932);
}

// A file dialog that runs a check at the moment it is shown, then cancels.
class WatchingFileDialogs : public platform::FileDialogService {
public:
    explicit WatchingFileDialogs(std::function<void()> onShow) : m_onShow(std::move(onShow))
    {
        m_previous = platform::setFileDialogService(this);
    }
    ~WatchingFileDialogs() override { platform::setFileDialogService(m_previous); }
    std::optional<std::string> choose(const platform::FileDialogRequest &request) override
    {
        requests.push_back(request);
        m_onShow();
        return std::nullopt;
    }
    std::vector<platform::FileDialogRequest> requests;

private:
    std::function<void()> m_onShow;
    platform::FileDialogService *m_previous = nullptr;
};

// Text committed by an input method, as typing Japanese delivers it.
void imeCommit(QWidget *w, const QString &text)
{
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}

// A BMP picture of `size` in light grey with black pixels at `dots`.
bool writeBmp(const QString &path, QSize size, const std::vector<QPoint> &dots)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(200, 200, 200));
    for (const QPoint &p : dots)
        image.setPixel(p, qRgb(0, 0, 0));
    return image.save(path, "BMP");
}

bool writeFile(const QString &path, const std::string &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

} // namespace

class TestShopDlg : public QObject {
    Q_OBJECT

    std::unique_ptr<testutil::DialogFixture> m_ui;
    std::unique_ptr<testutil::VendorFixture> m_vendor;

    void startVendor(const vendorsim::Faults &faults = {}) { QVERIFY(m_vendor->start(faults)); }
    // The dialog, open and connected to a simulated vendor of its own, its session opened.
    std::unique_ptr<CShopDlg> openDialog(bool shopLogo = false)
    {
        if (!m_vendor->sim)
            startVendor();
        auto dlg = std::make_unique<CShopDlg>(m_vendor->session(), shopLogo);
        dlg->create();
        dlg->show();
        // The preview follows the dialog onto the screen.
        if (!QTest::qWaitFor([&] { return dlg->Canvas().isVisible(); }, 2000))
            qWarning("the preview did not appear");
        // The session's opening runs on the worker; the cases start once it has ended.
        if (!QTest::qWaitFor([&] { return !dlg->VenderBusy(); }, 15000))
            qWarning("the session's opening did not end");
        return dlg;
    }
    QString path(const QString &name) const { return m_ui->path(name); }
    // Waits until the dialog's operations (the session's opening, a transfer) have ended
    // and their outcome has been shown.
    static void waitForTheVendor(CShopDlg &dlg)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.VenderBusy() && !dlg.TransferProgress(), 15000);
    }
    // Waits until the worker has nothing left to do; what it did is then safe to read here.
    void waitForTheWorker() { QTRY_VERIFY_WITH_TIMEOUT(m_vendor->worker.Idle(), 15000); }
    // The logo blocks the vendor has been sent.
    int logoRequests() const
    {
        int n = 0;
        for (const std::vector<uint8_t> &f : m_vendor->sim->requests())
            n += f.size() > 2 && f[2] == vendercmd::SendLogo;
        return n;
    }

    static QComboBox *fonts(CShopDlg &dlg) { return dlg.item<QComboBox>(CShopDlg::IDC_FONT); }
    static QComboBox *sizes(CShopDlg &dlg) { return dlg.item<QComboBox>(CShopDlg::IDC_SIZE); }
    static QPlainTextEdit *edit(CShopDlg &dlg, int layer)
    {
        return dlg.item<QPlainTextEdit>(layer == 0 ? CShopDlg::IDC_SHOPNAME_EDIT : CShopDlg::IDC_TEL_EDIT);
    }
    static void click(CShopDlg &dlg, int id) { windowClick(dlg.item(id)); }
    // Types the worked example's texts, sizes and positions, as an operator would.
    static void typeWorkedExample(CShopDlg &dlg)
    {
        click(dlg, CShopDlg::IDC_SHOPNAME_RADIO);
        edit(dlg, 0)->setPlainText(QString::fromUtf8("中央商店\n本店"));
        pick(sizes(dlg), QStringLiteral("40"));
        dlg.MoveCurrentLayer(8, 4);
        click(dlg, CShopDlg::IDC_TEL_RADIO);
        QTest::keyClicks(edit(dlg, 1), QStringLiteral("TEL 000-000-0000"));
        pick(sizes(dlg), QStringLiteral("20"));
        dlg.MoveCurrentLayer(8, 90);
    }
    std::vector<Box> boxes() const { return m_ui->boxes->boxes(); }
    static bool isBox(const Box &box, const char *utf8, MsgIcon icon)
    {
        return u(box.text) == QString::fromUtf8(utf8) && box.icon == icon;
    }

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

    void opensWithTheShopNameLayerAndThePreviewBesideIt()
    {
        startVendor();
        auto dlg = openDialog();
        waitForTheWorker();
        QVERIFY(boxes().empty());
        QVERIFY(m_vendor->vender.IsConnected());
        QCOMPARE(dlg->windowTitle(), QString::fromUtf8("領収書店名設定"));
        const platform::DialogUnits &du = dlg->units();
        QCOMPARE(dlg->size(), QSize(du.x(211), du.y(183)));
        QCOMPARE(dlg->item(CShopDlg::IDC_BACKGROUND)->geometry(), du.rect(QRect(70, 56, 134, 15)));

        QCOMPARE(dlg->radioIndex(CShopDlg::IDC_SHOPNAME_RADIO), 0);
        QCOMPARE(dlg->radioIndex(CShopDlg::IDC_RECEIPT_SIZE), 0);
        QVERIFY(edit(*dlg, 0)->isEnabled());
        QVERIFY(!edit(*dlg, 1)->isEnabled());
        QCOMPARE(fonts(*dlg)->currentText(), QString::fromUtf8("ＭＳ 明朝"));
        QCOMPARE(sizes(*dlg)->currentText(), QStringLiteral("32"));
        QCOMPARE(sizes(*dlg)->count(), 38);
        QCOMPARE(sizes(*dlg)->itemText(37), QStringLiteral("78"));
        QCOMPARE(u(dlg->itemText(CShopDlg::IDC_BACKGROUND)), QString::fromUtf8("( なし )"));
        QCOMPARE(dlg->Background(), DefaultBackground());

        CCanvasDlg &canvas = dlg->Canvas();
        QVERIFY(canvas.isVisible());
        QCOMPARE(canvas.size(), QSize(kLogoWidth, kLogoHeight));
        // Beside the dialog, not over it, and on the screen.
        QVERIFY(!canvas.frameGeometry().intersects(dlg->frameGeometry()));
        QVERIFY(canvas.screen()->availableGeometry().contains(canvas.frameGeometry()));
        QVERIFY(!(canvas.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(canvas.parentWidget(), dlg.get());
        canvas.grab();
        QCOMPARE(canvas.windowTitle(), QString::fromUtf8("印刷イメージ"));
    }

    // The radios switch the edit boxes and show the chosen layer's own font and size;
    // font and size act on the current layer only.
    void theRadiosChooseTheLayerTheListsActOn()
    {
        auto dlg = openDialog();
        pick(sizes(*dlg), QStringLiteral("40"));
        QCOMPARE(dlg->Layers()[0].size, 40);
        QCOMPARE(dlg->Layers()[1].size, 32);

        click(*dlg, CShopDlg::IDC_TEL_RADIO);
        QCOMPARE(dlg->CurrentLayerIndex(), 1);
        QCOMPARE(dlg->radioIndex(CShopDlg::IDC_SHOPNAME_RADIO), 1);
        QVERIFY(!edit(*dlg, 0)->isEnabled());
        QVERIFY(edit(*dlg, 1)->isEnabled());
        QCOMPARE(dlg->focusWidget(), edit(*dlg, 1));
        QCOMPARE(sizes(*dlg)->currentText(), QStringLiteral("32"));

        const QString otherFace = fonts(*dlg)->itemText(0);
        QVERIFY(otherFace != QString::fromUtf8("ＭＳ 明朝"));
        pick(fonts(*dlg), otherFace);
        pick(sizes(*dlg), QStringLiteral("20"));
        QCOMPARE(u(dlg->Layers()[1].faceName), otherFace);
        QCOMPARE(dlg->Layers()[1].size, 20);
        QCOMPARE(u(dlg->Layers()[0].faceName), QString::fromUtf8("ＭＳ 明朝"));
        QCOMPARE(dlg->Layers()[0].size, 40);

        click(*dlg, CShopDlg::IDC_SHOPNAME_RADIO);
        QCOMPARE(sizes(*dlg)->currentText(), QStringLiteral("40"));
        QCOMPARE(fonts(*dlg)->currentText(), QString::fromUtf8("ＭＳ 明朝"));
        click(*dlg, CShopDlg::IDC_TEL_RADIO);
        QCOMPARE(fonts(*dlg)->currentText(), otherFace);
        QCOMPARE(sizes(*dlg)->currentText(), QStringLiteral("20"));
    }

    // A size from a file that the list does not hold shows the first entry beginning with
    // its digits; the layer keeps its size until the operator picks one. A face that no
    // entry begins with shows no selection.
    void aSizeNotInTheListShowsTheFirstEntryWithItsDigits()
    {
        auto dlg = openDialog();
        LogoLayout layout;
        layout.layers[0] = {0, 0, sj("NoSuchFace"), 7, "A"};
        QVERIFY(writeFile(path("seven.slp"), FormatLayoutFile(layout)));
        m_ui->files->answer(path("seven.slp").toStdString());
        click(*dlg, CShopDlg::IDC_LOAD);
        QCOMPARE(sizes(*dlg)->currentText(), QStringLiteral("70"));
        QCOMPARE(fonts(*dlg)->currentIndex(), -1);
        QCOMPARE(dlg->Layers()[0].size, 7);
        QCOMPARE(dlg->Layers()[0].faceName, sj("NoSuchFace"));
    }

    void positionResetMovesOnlyTheCurrentLayer()
    {
        auto dlg = openDialog();
        dlg->MoveCurrentLayer(5, 6);
        click(*dlg, CShopDlg::IDC_TEL_RADIO);
        dlg->MoveCurrentLayer(7, 8);
        click(*dlg, CShopDlg::IDC_RESET_POSITION);
        QCOMPARE(dlg->Layers()[1].x, 0);
        QCOMPARE(dlg->Layers()[1].y, 0);
        QCOMPARE(dlg->Layers()[0].x, 5);
        QCOMPARE(dlg->Layers()[0].y, 6);
    }

    // Typed and pasted text reaches the layer as CP932 with CR LF line breaks and shows
    // in the preview; a character CP932 cannot hold is refused, and the text stays as it
    // was instead of taking a "?".
    void editBoxesKeepCp932AndRefuseWhatItCannotHold()
    {
        auto dlg = openDialog();
        QPlainTextEdit *box = edit(*dlg, 0);
        box->setFocus();
        const QImage before = dlg->Canvas().grab().toImage();
        imeCommit(box, QString::fromUtf8("中"));
        imeCommit(box, QString::fromUtf8("央"));
        QTest::keyClick(box, Qt::Key_Return);
        QGuiApplication::clipboard()->setText(QString::fromUtf8("本店①"));
        box->paste();
        QCOMPARE(dlg->Layers()[0].text, sj("中央\r\n本店①"));
        QCOMPARE(dlg->Layers()[0].text, std::string("\x92\x86\x89\x9B\r\n\x96\x7B\x93\x58\x87\x40"));
        QVERIFY(dlg->Canvas().grab().toImage() != before);
        QVERIFY(boxes().empty());

        for (const char *refused : {"한", "😀", "€"}) {
            m_ui->boxes->clear();
            box->insertPlainText(QString::fromUtf8(refused));
            QCOMPARE(dlg->Layers()[0].text, sj("中央\r\n本店①"));
            QCOMPARE(box->toPlainText(), QString::fromUtf8("中央\n本店①"));
            QCOMPARE(boxes().size(), size_t(1));
            QCOMPARE(boxes()[0].icon, MsgIcon::Exclamation);
            QCOMPARE(boxes()[0].text, CShopDlg::UnencodableMessage(QString::fromUtf8(refused)));
            QVERIFY(u(boxes()[0].text).contains(QStringLiteral("U+")));
        }
        // The cursor stays where the refused text was to go.
        QCOMPARE(box->textCursor().position(), int(box->toPlainText().size()));
        QTest::keyClicks(box, QStringLiteral("A"));
        QCOMPARE(dlg->Layers()[0].text, sj("中央\r\n本店①A"));
    }

    // Characters that input methods on Linux give in their JIS form are the CP932
    // characters a Windows input method gives.
    void jisFormsOfInputMethodsBecomeTheirCp932Twins()
    {
        auto dlg = openDialog();
        imeCommit(edit(*dlg, 0), QString::fromUtf8("1\u301C2\u2212\u2014\u2016\u00A2\u00A3\u00AC"));
        QVERIFY(boxes().empty());
        QCOMPARE(dlg->Layers()[0].text,
                 std::string("1\x81\x60"
                             "2\x81\x7C\x81\x5C\x81\x61\x81\x91\x81\x92\x81\xCA"));
    }

    // A background picture chosen and then removed by cancelling the file dialog; the
    // following save names no background.
    void backgroundChosenThenCancelled()
    {
        auto dlg = openDialog();
        QVERIFY(writeBmp(path("bg.bmp"), QSize(100, 50), {QPoint(3, 4)}));
        m_ui->files->answer(path("bg.bmp").toStdString());
        click(*dlg, CShopDlg::IDC_BACKGROUND);
        QCOMPARE(m_ui->files->requests().back().initialName, std::string("Shop.bmp"));
        QCOMPARE(m_ui->files->requests().back().defaultExtension, std::string("bmp"));
        QCOMPARE(u(m_ui->files->requests().back().filter), QString::fromUtf8("イメージファイル (*.bmp)|*.bmp||"));
        QCOMPARE(u(dlg->itemText(CShopDlg::IDC_BACKGROUND)), QStringLiteral("bg.bmp"));
        QVERIFY(dlg->BackgroundLoaded());
        QVERIFY(IsDot(dlg->WorkImage().pixel(3, 4)));
        QCOMPARE(dlg->WorkImage().pixel(200, 100), kLogoFillColour); // beyond the picture

        // "384x128" keeps a chosen picture.
        click(*dlg, CShopDlg::IDC_RECEIPT_SIZE);
        QVERIFY(dlg->BackgroundLoaded());
        QVERIFY(IsDot(dlg->WorkImage().pixel(3, 4)));
        QCOMPARE(dlg->Canvas().size(), QSize(kLogoWidth, kLogoHeight));

        // A picture that cannot be loaded changes nothing.
        QVERIFY(writeFile(path("broken.bmp"), "BM not a picture"));
        m_ui->files->answer(path("broken.bmp").toStdString());
        click(*dlg, CShopDlg::IDC_BACKGROUND);
        QCOMPARE(m_ui->files->requests().back().initialName, std::string("bg.bmp"));
        QCOMPARE(dlg->BackgroundName(), std::string("bg.bmp"));
        QVERIFY(IsDot(dlg->WorkImage().pixel(3, 4)));

        // A name that a layout file could not keep is refused; the picture in use stays.
        QVERIFY(writeBmp(path(QString::fromUtf8("café.bmp")), QSize(10, 10), {}));
        m_ui->files->answer(QFile::encodeName(path(QString::fromUtf8("café.bmp"))).toStdString());
        click(*dlg, CShopDlg::IDC_BACKGROUND);
        QCOMPARE(boxes().size(), size_t(1));
        QCOMPARE(boxes()[0].text, CShopDlg::UnencodableFileNameMessage());
        QCOMPARE(boxes()[0].icon, MsgIcon::Exclamation);
        QCOMPARE(dlg->BackgroundName(), std::string("bg.bmp"));
        QVERIFY(IsDot(dlg->WorkImage().pixel(3, 4)));
        m_ui->boxes->clear();

        m_ui->files->answer(std::nullopt);
        click(*dlg, CShopDlg::IDC_BACKGROUND);
        QCOMPARE(u(dlg->itemText(CShopDlg::IDC_BACKGROUND)), QString::fromUtf8("( なし )"));
        QVERIFY(!dlg->BackgroundLoaded());
        QVERIFY(dlg->BackgroundName().empty());
        QCOMPARE(dlg->Background(), DefaultBackground());
        QVERIFY(!IsDot(dlg->WorkImage().pixel(3, 4)));

        m_ui->files->answer(path("after.slp").toStdString());
        click(*dlg, CShopDlg::IDC_SAVE);
        QVERIFY(readAll(path("after.slp")).find("\r\nBGLAYER,\"\"\r\n") != std::string::npos);
        QVERIFY(boxes().size() == 1 && isBox(boxes()[0], "ファイルを記録しました", MsgIcon::Information));
    }

    // Saving the worked example gives its five lines; an existing file is replaced only
    // when the operator answers Yes.
    void saveWritesTheLayoutAndAsksBeforeOverwriting()
    {
        auto dlg = openDialog();
        QVERIFY(writeBmp(path("Shop.bmp"), QSize(384, 128), {}));
        m_ui->files->answer(path("Shop.bmp").toStdString());
        click(*dlg, CShopDlg::IDC_BACKGROUND);
        typeWorkedExample(*dlg);

        m_ui->files->answer(path("logo.slp").toStdString());
        click(*dlg, CShopDlg::IDC_SAVE);
        const platform::FileDialogRequest &request = m_ui->files->requests().back();
        QVERIFY(request.save);
        QCOMPARE(request.initialName, std::string("default.slp"));
        QCOMPARE(request.defaultExtension, std::string("slp"));
        QCOMPARE(u(request.filter), QString::fromUtf8("店名ロゴファイル形式 (*.slp)|*.slp||"));
        const std::string expected = FormatLayoutFile(workedExample());
        QCOMPARE(readAll(path("logo.slp")), expected);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "ファイルを記録しました", MsgIcon::Information));

        dlg->MoveCurrentLayer(1, 1);
        m_ui->boxes->clear();
        m_ui->boxes->answer(platform::MsgResult::No);
        m_ui->files->answer(path("logo.slp").toStdString());
        click(*dlg, CShopDlg::IDC_SAVE);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "同じ名前のファイルが存在します。\n上書しますか？", MsgIcon::Question));
        QCOMPARE(boxes()[0].buttons, platform::MsgButtons::YesNo);
        QCOMPARE(readAll(path("logo.slp")), expected);

        m_ui->boxes->clear();
        m_ui->boxes->answer(platform::MsgResult::Yes);
        m_ui->files->answer(path("logo.slp").toStdString());
        click(*dlg, CShopDlg::IDC_SAVE);
        QCOMPARE(boxes().size(), size_t(2));
        QVERIFY(isBox(boxes()[1], "ファイルを記録しました", MsgIcon::Information));
        LogoLayout moved = workedExample();
        moved.layers[1].x += 1;
        moved.layers[1].y += 1;
        QCOMPARE(readAll(path("logo.slp")), FormatLayoutFile(moved));

        // A file that cannot be created: told, nothing else changes.
        m_ui->boxes->clear();
        QVERIFY(QDir(m_ui->dir.path()).mkdir(QStringLiteral("folder.slp")));
        m_ui->boxes->answer(platform::MsgResult::Yes);
        m_ui->files->answer(path("folder.slp").toStdString());
        click(*dlg, CShopDlg::IDC_SAVE);
        QCOMPARE(boxes().size(), size_t(2));
        QVERIFY(isBox(boxes()[1], "ファイルが作れません！", MsgIcon::Exclamation));
    }

    // Loading a layout that names a background beside it (in another folder than the
    // current one): the picture, the texts and the layers come back, the shop-name layer
    // is current.
    void loadBringsBackTheLayoutAndItsBackground()
    {
        auto dlg = openDialog();
        click(*dlg, CShopDlg::IDC_TEL_RADIO);
        QVERIFY(QDir(m_ui->dir.path()).mkdir(QStringLiteral("designs")));
        QVERIFY(writeBmp(path("designs/Shop.bmp"), QSize(384, 128), {QPoint(300, 120)}));
        QVERIFY(writeFile(path("designs/logo.slp"), FormatLayoutFile(workedExample())));
        m_ui->files->answer(path("designs/logo.slp").toStdString());
        click(*dlg, CShopDlg::IDC_LOAD);
        QVERIFY(!m_ui->files->requests().back().save);
        QCOMPARE(m_ui->files->requests().back().initialName, std::string("default.slp"));
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "ファイルを読込みました。", MsgIcon::Information));

        QCOMPARE(dlg->Layers(), workedExample().layers);
        QCOMPARE(dlg->CurrentLayerIndex(), 0);
        QCOMPARE(dlg->radioIndex(CShopDlg::IDC_SHOPNAME_RADIO), 0);
        QCOMPARE(edit(*dlg, 0)->toPlainText(), QString::fromUtf8("中央商店\n本店"));
        QCOMPARE(edit(*dlg, 1)->toPlainText(), QStringLiteral("TEL 000-000-0000"));
        QCOMPARE(sizes(*dlg)->currentText(), QStringLiteral("40"));
        QCOMPARE(u(dlg->itemText(CShopDlg::IDC_BACKGROUND)), QStringLiteral("Shop.bmp"));
        QVERIFY(dlg->BackgroundLoaded());
        QVERIFY(IsDot(dlg->WorkImage().pixel(300, 120)));

        // A file of another kind changes nothing.
        m_ui->boxes->clear();
        QVERIFY(writeFile(path("other.slp"), "SHOPLOGO \r\nTEXTLAYER,0,1,1,\"x\",8,\"y\"\r\n"));
        m_ui->files->answer(path("other.slp").toStdString());
        click(*dlg, CShopDlg::IDC_LOAD);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "異なるファイルです！", MsgIcon::Stop));
        QCOMPARE(dlg->Layers(), workedExample().layers);

        // A missing file.
        m_ui->boxes->clear();
        m_ui->files->answer(path("missing.slp").toStdString());
        click(*dlg, CShopDlg::IDC_LOAD);
        QVERIFY(boxes().size() == 1 && isBox(boxes()[0], "ファイルが開けません！", MsgIcon::Stop));
    }

    // A load reads over the file copy of the last save or load: what the file does not
    // mention comes back as it was then, not as it is on screen. The printer type read
    // changes nothing, and the next save writes 1.
    void loadReadsOverTheFileCopy()
    {
        auto dlg = openDialog();
        edit(*dlg, 0)->setPlainText(QStringLiteral("saved"));
        dlg->MoveCurrentLayer(3, 4);
        m_ui->files->answer(path("saved.slp").toStdString());
        click(*dlg, CShopDlg::IDC_SAVE);
        const auto saved = dlg->Layers();

        edit(*dlg, 0)->setPlainText(QStringLiteral("edited"));
        dlg->MoveCurrentLayer(10, 10);
        click(*dlg, CShopDlg::IDC_TEL_RADIO);
        QVERIFY(writeFile(path("bare.slp"), "SHOPLOGO\nPRINTER,2\nTEXTLAYER,1,5,6\n"));
        m_ui->files->answer(path("bare.slp").toStdString());
        m_ui->boxes->clear();
        click(*dlg, CShopDlg::IDC_LOAD);
        QVERIFY(boxes().size() == 1 && isBox(boxes()[0], "ファイルを読込みました。", MsgIcon::Information));
        QCOMPARE(dlg->Layers()[0], saved[0]);
        QCOMPARE(edit(*dlg, 0)->toPlainText(), QStringLiteral("saved"));
        QCOMPARE(dlg->Layers()[1], (TextLayer{5, 6, "", 0, ""}));
        QCOMPARE(dlg->CurrentLayerIndex(), 0);
        QCOMPARE(dlg->radioIndex(CShopDlg::IDC_RECEIPT_SIZE), 0);

        m_ui->files->answer(path("again.slp").toStdString());
        click(*dlg, CShopDlg::IDC_SAVE);
        QVERIFY(readAll(path("again.slp")).find("\r\nPRINTER,1\r\n") != std::string::npos);
    }

    // "送信" end to end: the vendor receives exactly the work file, whose dots are the
    // preview's black pixels.
    void sendDeliversWhatThePreviewShows()
    {
        startVendor();
        auto dlg = openDialog();
        typeWorkedExample(*dlg);
        click(*dlg, CShopDlg::IDC_SEND);
        waitForTheVendor(*dlg);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "領収書店名イメージを送信しました", MsgIcon::Information));
        QVERIFY(m_ui->files->requests().empty()); // SHOPLOGO off: no header

        const std::string work = readAll(path(kWorkFileName));
        QCOMPARE(work.size(), kWorkFileSize);
        const std::vector<uint8_t> received = m_vendor->sim->receivedLogo();
        QCOMPARE(std::string(received.begin(), received.end()), work);

        const QImage shown = dlg->Canvas().grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), QSize(kLogoWidth, kLogoHeight));
        int dots = 0;
        for (int x = 0; x < kLogoWidth; ++x) {
            for (int y = 0; y < kLogoHeight; ++y) {
                const auto byte = static_cast<unsigned char>(work[size_t(5 + 16 * x + y / 8)]);
                const bool bit = byte & (0x80 >> (y % 8));
                QCOMPARE(bit, IsDot(shown.pixel(x, y)));
                dots += bit;
            }
        }
        QVERIFY(dots > 200);
    }

    // With SHOPLOGO on, the header's file dialog comes after the work file is written and
    // before the transfer; cancelling it does not stop the transfer, and the header is
    // made from the work file just written even though its dialog moves the current
    // directory.
    void headerComesBetweenTheWorkFileAndTheTransfer()
    {
        startVendor();
        auto dlg = openDialog(true);
        typeWorkedExample(*dlg);
        bool workFileThere = false;
        int logosBefore = -1;
        {
            m_ui->files.reset();
            WatchingFileDialogs watch([&] {
                workFileThere = QFile::exists(path(kWorkFileName));
                logosBefore = m_vendor->sim->logosReceived();
            });
            click(*dlg, CShopDlg::IDC_SEND);
            QCOMPARE(watch.requests.size(), size_t(1));
            QVERIFY(watch.requests[0].save);
            QCOMPARE(watch.requests[0].initialName, std::string("Shop.H"));
            QCOMPARE(watch.requests[0].defaultExtension, std::string("h"));
            QCOMPARE(watch.requests[0].filter, std::string("*.h"));
        }
        waitForTheVendor(*dlg);
        QVERIFY(workFileThere);
        QCOMPARE(logosBefore, 0);
        QCOMPARE(m_vendor->sim->logosReceived(), 1);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "領収書店名イメージを送信しました", MsgIcon::Information));

        m_ui->boxes->clear();
        m_ui->files = std::make_unique<platform::ScriptedFileDialogs>();
        QVERIFY(QDir(m_ui->dir.path()).mkdir(QStringLiteral("headers")));
        m_ui->files->answer(path("headers/Shop.H").toStdString());
        click(*dlg, CShopDlg::IDC_SEND);
        waitForTheVendor(*dlg);
        QCOMPARE(boxes().size(), size_t(2));
        QVERIFY(isBox(boxes()[0], "ファイルを記録しました", MsgIcon::Information));
        QVERIFY(isBox(boxes()[1], "領収書店名イメージを送信しました", MsgIcon::Information));
        const std::string work = readAll(path(kWorkFileName));
        QCOMPARE(readAll(path("headers/Shop.H")), HeaderText(work));
        QVERIFY(!QFile::exists(path("headers/") + kWorkFileName));
        QCOMPARE(m_vendor->sim->logosReceived(), 2);
    }

    // A work file that cannot be written stops the send: the operator is told once, and
    // nothing reaches the vendor.
    void aWorkFileThatCannotBeWrittenSendsNothing()
    {
        startVendor();
        auto dlg = openDialog(true);
        QVERIFY(QDir(m_ui->dir.path()).mkdir(QString::fromLatin1(kWorkFileName)));
        click(*dlg, CShopDlg::IDC_SEND);
        QVERIFY(!dlg->TransferProgress());
        waitForTheVendor(*dlg);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "作業ファイルが開けません", MsgIcon::Exclamation));
        QVERIFY(m_ui->files->requests().empty());
        QCOMPARE(m_vendor->sim->logosReceived(), 0);
        QCOMPARE(m_vendor->sim->exchanges(), 0);
    }

    void sendFailsWhenTheVendorDoesNotAnswer()
    {
        startVendor();
        auto dlg = openDialog();
        m_vendor->sim->stop();
        click(*dlg, CShopDlg::IDC_SEND);
        waitForTheVendor(*dlg);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "送信失敗しました \n環境を確認してください。", MsgIcon::Stop));
    }

    // "送信" clicked before the session's opening has come back (the dialog is busy with it)
    // is carried out behind it, not dropped.
    void sendRightAfterOpeningIsCarriedOut()
    {
        startVendor();
        auto dlg = std::make_unique<CShopDlg>(m_vendor->session(), false);
        dlg->create();
        dlg->show();
        QVERIFY(dlg->VenderBusy()); // the opening is still under way
        click(*dlg, CShopDlg::IDC_SEND);
        waitForTheVendor(*dlg);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "領収書店名イメージを送信しました", MsgIcon::Information));
        QCOMPARE(m_vendor->sim->logosReceived(), 1);
    }

    // A transfer that takes time: the progress window stands over the dialog, clear of
    // "戻る", and counts the blocks of the attempt; "送信" is disabled and the cursor busy.
    // Its "中止" ends the transfer as a failure, with part of the blocks at the vendor.
    void slowSendShowsItsProgressAndCancelIsAFailure()
    {
        vendorsim::Faults slow;
        slow.delayMs = 100; // each of the 25 blocks
        startVendor(slow);
        auto dlg = openDialog();
        click(*dlg, CShopDlg::IDC_SEND);
        CTransferProgress *progress = dlg->TransferProgress();
        QVERIFY(progress);
        QVERIFY(progress->isVisible() && progress->isWindow());
        QCOMPARE(progress->windowTitle(), QString::fromUtf8("送信中"));
        const QRect over = progress->frameGeometry();
        QVERIFY2(dlg->frameGeometry().contains(over), "the progress window is not over the dialog");
        QWidget *back = dlg->item(CShopDlg::IDC_BACK);
        QVERIFY2(!over.intersects(QRect(back->mapToGlobal(QPoint(0, 0)), back->size())),
                 "the progress window covers 戻る");

        static const QRegularExpression blocks(QString::fromUtf8("^(\\d+) / 25 ブロック（1 / 3 回目）$"));
        auto blocksDone = [&] {
            const QRegularExpressionMatch m = blocks.match(progress->blocksText());
            return m.hasMatch() ? m.captured(1).toInt() : -1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(blocksDone() >= 2, 5000);
        QVERIFY2(blocksDone() < 25, qPrintable(progress->blocksText()));
        QVERIFY(!dlg->item(CShopDlg::IDC_SEND)->isEnabled());
        QVERIFY(back->isEnabled());
        QCOMPARE(dlg->cursor().shape(), Qt::BusyCursor);
        QVERIFY(boxes().empty());

        windowClick(progress->cancelButton());
        waitForTheVendor(*dlg);
        QCOMPARE(boxes().size(), size_t(1));
        QVERIFY(isBox(boxes()[0], "送信失敗しました \n環境を確認してください。", MsgIcon::Stop));
        QCOMPARE(m_vendor->sim->logosReceived(), 0);
        QVERIFY2(logoRequests() >= 2 && logoRequests() < 25, qPrintable(QString::number(logoRequests())));
        QVERIFY(dlg->item(CShopDlg::IDC_SEND)->isEnabled());
        QVERIFY(dlg->cursor().shape() != Qt::BusyCursor);
    }

    // Against a vendor that never answers, the window goes on answering while "送信" runs
    // (a zero-timer keeps firing), and each way of closing the dialog ends the transfer at
    // once: the dialog, run as the program runs it, is gone within 0.5 s, the worker is
    // free soon after, and nothing is shown afterwards.
    void closingDuringASendEndsItAtOnce_data() { testutil::addCloseRows(); }
    void closingDuringASendEndsItAtOnce()
    {
        QFETCH(Close, how);
        startVendor(testutil::silent());
        CShopDlg dlg(m_vendor->session(), false);
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
            click(dlg, CShopDlg::IDC_SEND);
            QTest::qWait(300);
            zero.stop();
            ticks = n;
            running = dlg.VenderBusy() && dlg.TransferProgress() && dlg.TransferProgress()->isVisible();
            closing.start();
            testutil::closeBy(how, dlg, dlg.item(CShopDlg::IDC_BACK));
        });
        dlg.runModal();
        const qint64 closedAfter = closing.isValid() ? closing.elapsed() : -1;
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QVERIFY2(longestGap < 250, qPrintable(QString::number(longestGap)));
        QVERIFY2(running, "the transfer was not under way");
        QVERIFY2(closedAfter >= 0 && closedAfter < 500, qPrintable(QString::number(closedAfter)));
        QVERIFY(!dlg.TransferProgress());
        QVERIFY(!dlg.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(m_vendor->worker.Idle(), 500);
        QCoreApplication::processEvents();
        QVERIFY(boxes().empty());
        QVERIFY(!m_vendor->vender.IsConnected());
    }

    // Dragging in the preview moves the current layer by exactly the mouse's displacement,
    // without limits; a move with the button up ends the drag.
    void draggingMovesTheCurrentLayer()
    {
        auto dlg = openDialog();
        click(*dlg, CShopDlg::IDC_TEL_RADIO);
        edit(*dlg, 1)->setPlainText(QStringLiteral("TEL"));
        CCanvasDlg &canvas = dlg->Canvas();
        const QImage before = canvas.grab().toImage();

        mouseMove(&canvas, QPoint(100, 50), Qt::LeftButton); // the first step only starts the drag
        QVERIFY(canvas.Dragging());
        QCOMPARE(dlg->Layers()[1].x, 0);
        mouseMove(&canvas, QPoint(110, 55), Qt::LeftButton);
        QCOMPARE(dlg->Layers()[1].x, 10);
        QCOMPARE(dlg->Layers()[1].y, 5);
        QCOMPARE(dlg->Layers()[0].x, 0);
        QCOMPARE(dlg->Layers()[0].y, 0);
        QVERIFY(canvas.grab().toImage() != before);

        mouseMove(&canvas, QPoint(70, 45), Qt::LeftButton); // past the left edge
        QCOMPARE(dlg->Layers()[1].x, -30);
        QCOMPARE(dlg->Layers()[1].y, -5);

        mouseMove(&canvas, QPoint(300, 100), Qt::NoButton); // let go, moved on: the drag ends
        QVERIFY(!canvas.Dragging());
        QCOMPARE(dlg->Layers()[1].x, -30);
        mouseMove(&canvas, QPoint(10, 10), Qt::LeftButton);
        QCOMPARE(dlg->Layers()[1].x, -30);
        QCOMPARE(dlg->Layers()[1].y, -5);
        mouseMove(&canvas, QPoint(10, 10), Qt::NoButton);
    }

    // On a scaled screen (CTest also runs this at QT_SCALE_FACTOR=2) each dot is a whole
    // block of device pixels, the preview lies within the screen, and a drag counts dots.
    void thePreviewShowsWholeDeviceBlocksAtAnyScale()
    {
        auto dlg = openDialog();
        edit(*dlg, 0)->setPlainText(QStringLiteral("TEST"));
        CCanvasDlg &canvas = dlg->Canvas();
        const qreal ratio = canvas.devicePixelRatioF();
        const int n = canvas.DotScale();
        QCOMPARE(n, std::max(1, int(ratio)));
        QVERIFY(canvas.screen()->availableGeometry().contains(canvas.frameGeometry()));

        const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage work = dlg->WorkImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(shown.width() >= kLogoWidth * n && shown.height() >= kLogoHeight * n);
        int mismatches = 0;
        for (int y = 0; y < kLogoHeight * n; ++y)
            for (int x = 0; x < kLogoWidth * n; ++x)
                mismatches += shown.pixel(x, y) != work.pixel(x / n, y / n);
        QCOMPARE(mismatches, 0);

        const QPoint from(40, 20);
        drag(&canvas, from, from + QPoint(qRound(10 * n / ratio), qRound(5 * n / ratio)));
        QCOMPARE(dlg->Layers()[0].x, 10);
        QCOMPARE(dlg->Layers()[0].y, 5);
    }

    // Escape in the preview leaves it (and the dialog) open; in the dialog it closes both.
    void escapeClosesTheDialogButNotThePreview()
    {
        auto dlg = openDialog();
        CCanvasDlg &canvas = dlg->Canvas();
        QTest::keyClick(&canvas, Qt::Key_Escape);
        QTest::keyClick(&canvas, Qt::Key_Return);
        canvas.close();
        QVERIFY(canvas.isVisible());
        QVERIFY(dlg->isVisible());
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->result(), int(platform::IDCANCEL));
    }
};

QTEST_MAIN(TestShopDlg)
#include "test_shopdlg.moc"
