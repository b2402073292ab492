#pragma once
// The main window: a launcher whose buttons and window-menu commands each run another
// dialog modally and come back when it closes. Closing it ("終了", Esc or the close box)
// ends the program. It is made by the application object and hands each dialog what that
// dialog uses of it: the vendor session, the settings.
//
// The desktop owns the title-bar menu here, so the window's own commands live in a
// window menu that opens with a right click on the window's background, with the Menu
// key or with Shift+F10: "通信設定..." (command 1031, Ctrl+T), "接続先設定..." (command
// 1032, Ctrl+L), "MFP設定..." (command 109, Ctrl+M), a separator and "バージョン情報 Pelmora(&A)..." (the about command, 16). The
// two settings commands go through the command table like the buttons; while their
// table entries name no handler, the menu shows them greyed out.
#include "platform/ui/dialog.h"

#include <QIcon>

class CQuorvelApp;
class QAction;
class QMenu;

class CQuorvelDlg : public platform::Dialog {
    Q_OBJECT
public:
    enum { IDD = 103 };
    enum : int {
        IDC_SHOPLOGO = 1019,
        IDC_CLOCKSET = 1007,
        ID_COMMSETTINGS = 1031,
        ID_VENDERADDRESS = 1032,
        ID_MFPSETTINGS = 109,
        IDM_ABOUTBOX = 16,
    };

    explicit CQuorvelDlg(CQuorvelApp &app);
    ~CQuorvelDlg() override;

    QMenu *windowMenu() const { return m_windowMenu; }
    // Opens the window menu at `globalPos` without waiting for a choice.
    void popupWindowMenu(const QPoint &globalPos);
    // Window-menu commands: IDM_ABOUTBOX, and every other value the default processing.
    void OnSysCommand(unsigned nID);

protected:
    bool OnInitDialog() override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    void OnShopLogo();
    void OnClockSet();
    void OnCommSettings();
    void OnVenderAddress();
    void OnMfpSettings();

private:
    void updateWindowMenu();
    QAction *addMenuCommand(const QString &text, int command, const QKeySequence &shortcut);

    CQuorvelApp &m_app;
    QIcon m_hIcon;
    QMenu *m_windowMenu = nullptr;
    static const platform::CommandTable<CQuorvelDlg> kCommands;
};
