#include "app/quorveldlg.h"

#include "app/aboutdlg.h"
#include "app/configdlg.h"
#include "app/venderaddrdlg.h"
#include "app/vendersessionof.h"
#include "clock/ui/clocksetdlg.h"
#include "logo/ui/shopdlg.h"
#include "mfp/ui/mfpcnfdlg.h"
#include "platform/codepage.h"
#include "texts/app.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace {
QIcon applicationIcon()
{
    return QIcon(QStringLiteral(":/app/quorvel.png"));
}
} // namespace

const platform::CommandTable<CQuorvelDlg> CQuorvelDlg::kCommands = {
    {IDC_SHOPLOGO, platform::Notify::Clicked, &CQuorvelDlg::OnShopLogo},
    {IDC_CLOCKSET, platform::Notify::Clicked, &CQuorvelDlg::OnClockSet},
    {ID_COMMSETTINGS, platform::Notify::Command, &CQuorvelDlg::OnCommSettings},
    {ID_VENDERADDRESS, platform::Notify::Command, &CQuorvelDlg::OnVenderAddress},
    {ID_MFPSETTINGS, platform::Notify::Command, &CQuorvelDlg::OnMfpSettings},
};

CQuorvelDlg::CQuorvelDlg(CQuorvelApp &app) : platform::Dialog(IDD), m_app(app), m_hIcon(applicationIcon())
{
    setCommandTable(kCommands);
}

CQuorvelDlg::~CQuorvelDlg()
{
    destroyWindow();
}

bool CQuorvelDlg::OnInitDialog()
{
    platform::Dialog::OnInitDialog();

    if (!m_windowMenu) {
        m_windowMenu = new QMenu(this);
        addMenuCommand(QString::fromUtf8("通信設定..."), ID_COMMSETTINGS, QKeySequence(Qt::CTRL | Qt::Key_T));
        addMenuCommand(platform::fromCp932(apptext::kMenuVenderAddress), ID_VENDERADDRESS,
                       QKeySequence(Qt::CTRL | Qt::Key_L));
        addMenuCommand(QString::fromUtf8("MFP設定..."), ID_MFPSETTINGS, QKeySequence(Qt::CTRL | Qt::Key_M));
        const QString about = QString::fromUtf8("バージョン情報 Pelmora(&A)...");
        if (!about.isEmpty()) {
            m_windowMenu->addSeparator();
            QAction *a = m_windowMenu->addAction(about);
            connect(a, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
        }
        connect(m_windowMenu, &QMenu::aboutToShow, this, &CQuorvelDlg::updateWindowMenu);
    }
    updateWindowMenu();

    setWindowIcon(m_hIcon);
    return true;
}

QAction *CQuorvelDlg::addMenuCommand(const QString &text, int command, const QKeySequence &shortcut)
{
    QAction *a = m_windowMenu->addAction(text);
    a->setData(command);
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a); // the shortcut works while the menu is closed
    connect(a, &QAction::triggered, this, [this, command] { this->command(command); });
    return a;
}

void CQuorvelDlg::updateWindowMenu()
{
    for (QAction *a : m_windowMenu->actions())
        if (a->data().isValid())
            a->setEnabled(hasHandler(a->data().toInt()));
}

void CQuorvelDlg::popupWindowMenu(const QPoint &globalPos)
{
    if (m_windowMenu)
        m_windowMenu->popup(globalPos);
}

void CQuorvelDlg::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Mouse) {
        if (childAt(event->pos())) {
            event->ignore();
            return;
        }
        popupWindowMenu(event->globalPos());
    } else {
        popupWindowMenu(mapToGlobal(QPoint(0, 0)));
    }
    event->accept();
}

void CQuorvelDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        // Some platforms turn the Menu key into a context-menu event as well.
        if (!m_windowMenu || !m_windowMenu->isVisible())
            popupWindowMenu(mapToGlobal(QPoint(0, 0)));
        event->accept();
        return;
    }
    platform::Dialog::keyPressEvent(event);
}

void CQuorvelDlg::OnSysCommand(unsigned nID)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.runModal();
    }
    // Every other command: the desktop's own window menu handles its commands itself.
}

void CQuorvelDlg::OnShopLogo()
{
    CShopDlg dlg(VenderSessionOf(m_app), m_app.SHOPLOGO);
    dlg.runModal();
}

void CQuorvelDlg::OnClockSet()
{
    CClockSetDlg dlg(VenderSessionOf(m_app));
    dlg.runModal();
}

void CQuorvelDlg::OnMfpSettings()
{
    CMfpcnfDlg dlg(VenderSessionOf(m_app));
    dlg.runModal();
}

void CQuorvelDlg::OnCommSettings()
{
    CConfigDlg dlg(m_app);
    dlg.runModal();
}

void CQuorvelDlg::OnVenderAddress()
{
    CVenderAddrDlg dlg(m_app);
    dlg.runModal();
}
