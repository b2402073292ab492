#pragma once
// Dialog windows built from templates (dialogtemplate.h).
//
// platform::Dialog is the base of every dialog window. Its constructor loads template
// `templateId` and builds the controls: each at its template rectangle converted from
// dialog units to pixels, in template (tab) order, with the template's font. A dialog
// unit is a quarter of the font's average character width across and an eighth of its
// height down; the average width is that of the 52 letters A-Z a-z divided by 26,
// rounded ((w / 26 + 1) / 2), the height is ascent plus descent, each rounded. Edges are converted
// one by one with rounding (x * base / 4, y * base / 8), so abutting controls stay
// abutting. The font size in points becomes pixels at 96 per inch.
//
// Commands. Every control notification and every menu command reaches the dialog as a
// pair (control id, notification) through command(). Each dialog class binds the pairs
// it handles in ONE table, declared beside the class and installed in its constructor:
//
//   const platform::CommandTable<CMyDlg> CMyDlg::kCommands = {
//       {1019, platform::Notify::Clicked, &CMyDlg::OnShopLogo},
//       {1042, platform::Notify::SelChange, &CMyDlg::OnPaperCodeChanged},
//   };
//   CMyDlg::CMyDlg() : platform::Dialog(146) { setCommandTable(kCommands); }
//
// An entry may name no handler yet (nullptr): the pair is then known but unavailable,
// and hasHandler() says false (menus use this to grey out commands whose dialogs are
// not built). Pairs without an entry get the default processing: command IDOK (the
// default button, Enter) calls OnOK() and command IDCANCEL (Esc, the close box) calls
// OnCancel(); both end the dialog unless overridden.
//
// Notifications: Clicked (buttons, radios, check boxes; also menu commands, which share
// its value), Change (an edit's text changed, by the operator or by the program),
// SelChange and then SelEndOk (the operator picked an item in a combo box; not sent when
// the program changes the selection), TreeSelChanged (the tree's current item changed).
//
// Life cycle: construct (controls exist at once) -> runModal() or create() calls
// OnInitDialog() -> ... -> endDialog(result) -> OnDestroy() once when the window goes
// (runModal() does this itself; a modeless dialog calls destroyWindow()). A derived
// class whose OnDestroy matters and that may die while its window is up calls
// destroyWindow() in its own destructor.
//
// Window timers: startWindowTimer(id, ms) calls OnTimer(id) every `ms` milliseconds
// until stopWindowTimer(id); starting an id that runs restarts it. A tick that falls due
// while the handler of the same timer still runs is delivered once, afterwards.
//
// Texts given to and taken from controls are CP932 bytes.
#include "platform/ui/dialogtemplate.h"

#include <QDialog>
#include <QFont>
#include <QPointer>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

class QButtonGroup;
class QAbstractButton;

namespace platform {

enum : int { IDOK = 1, IDCANCEL = 2 };

enum class Notify { Command = 0, Clicked = 0, Change, SelChange, SelEndOk, TreeSelChanged };

// Dialog base units of a font, and the conversion from dialog units to pixels.
struct DialogUnits {
    int baseX = 0; // average character width
    int baseY = 0; // character height
    int x(int du) const;
    int y(int du) const;
    QRect rect(const QRect &du) const; // converts each edge, then forms the pixel rectangle
};

QFont dialogFont(const QString &face, int points);

// The window that a dialog, message box or file dialog opened now belongs to: the modal
// dialog in front, else the active window, else the main window; nullptr when the program
// shows no window. The new window is made a transient of it.
QWidget *ownerWindow();
DialogUnits dialogBaseUnits(const QFont &font);

template <class D>
class CommandTable {
public:
    using Handler = void (D::*)();
    struct Entry {
        int id;
        Notify code;
        Handler handler; // nullptr: known but not available yet
    };

    CommandTable(std::initializer_list<Entry> entries) : m_entries(entries) {}

    const Entry *find(int id, Notify code) const
    {
        for (const Entry &e : m_entries)
            if (e.id == id && e.code == code)
                return &e;
        return nullptr;
    }
    const std::vector<Entry> &entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(int templateId);
    explicit Dialog(const DialogTemplate &dialogTemplate); // a template held in memory
    ~Dialog() override;

    // False when the template could not be loaded (the dialog then has no controls).
    bool valid() const { return m_valid; }
    int templateId() const { return m_templateId; }
    const DialogTemplate &dialogTemplate() const { return m_template; }
    const DialogUnits &units() const { return m_units; }

    // Runs the dialog modally (the other windows of the program are disabled meanwhile)
    // and returns the value given to endDialog(), or -1 when the template is missing.
    // The dialog is a transient of its owner (the window that was active when it opened),
    // so that a window manager keeps it above that window.
    int runModal();
    // Runs the program's main window: shown on its own, not modal, until endDialog().
    // A modal main window would be kept above every window of the program by a window
    // manager (it has no owner to be modal for), hiding the dialogs' own side windows.
    int runMain();
    // The main window while runMain() runs, or nullptr.
    static Dialog *mainWindow();
    // Makes a modeless dialog ready: OnInitDialog() runs; the caller shows the window.
    bool create();
    void endDialog(int result);
    void destroyWindow();
    // Makes `owner` the owner of this window: it stays above it, keeps its own frame,
    // and goes with it. (A modal run needs none: it is owned by the active window.)
    void setOwner(QWidget *owner);
    // Keeps `window` (a window this dialog owns) above the dialog: a window manager may
    // lift a modal dialog above its own side windows when it is activated or moved, so
    // they are raised again each time.
    void keepAbove(QWidget *window);
    // `r` moved (not resized) so that as much of it as possible lies within `area`.
    static QRect keptWithin(QRect r, const QRect &area);
    // The available area of the screen that shows `w` (the primary screen without one).
    static QRect availableArea(const QWidget *w);

    // Controls by id (nullptr for an unknown id).
    QWidget *item(int id) const;
    template <class W>
    W *item(int id) const { return qobject_cast<W *>(item(id)); }
    std::string itemText(int id) const;
    void setItemText(int id, const std::string &text);
    void enableItem(int id, bool enable);
    void showItem(int id, bool show);
    // Index of the checked radio in the group that starts at control `firstId`; -1: none.
    int radioIndex(int firstId) const;
    void setRadioIndex(int firstId, int index); // -1 clears the group
    void setCaption(const std::string &text);

    // Routes (id, code) through the command table, with the defaults for IDOK and
    // IDCANCEL. Returns true when something handled it.
    bool command(int id, Notify code = Notify::Command);
    bool hasHandler(int id, Notify code = Notify::Command) const;

    void startWindowTimer(int id, int milliseconds);
    void stopWindowTimer(int id);
    bool windowTimerRunning(int id) const { return m_timers.count(id) != 0; }

protected:
    virtual bool OnInitDialog(); // true: the first control that takes the focus gets it
    virtual void OnOK();         // default: endDialog(IDOK)
    virtual void OnCancel();     // default: endDialog(IDCANCEL)
    virtual void OnTimer(int id);
    virtual void OnDestroy();

    template <class D>
    void setCommandTable(const CommandTable<D> &table)
    {
        m_route = [this, &table](int id, Notify code) {
            const auto *e = table.find(id, code);
            if (!e || !e->handler)
                return false;
            (static_cast<D *>(this)->*(e->handler))();
            return true;
        };
        m_hasHandler = [&table](int id, Notify code) {
            const auto *e = table.find(id, code);
            return e && e->handler;
        };
    }

    void accept() override;
    void reject() override;
    void keyPressEvent(QKeyEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

    // Places the dialog before it is shown: centred on `owner` (or on the screen without
    // one), kept within the screen's available area. Derived dialogs that bring side
    // windows place them here too.
    virtual void placeNearOwner(QWidget *owner);

private:
    void build();
    QWidget *makeControl(const ControlTemplate &c);
    void widenCutLabels();
    void initialise();
    void pressDefaultButton();

    int m_templateId;
    DialogTemplate m_template;
    bool m_valid = false;
    DialogUnits m_units;
    std::map<int, QWidget *> m_items;
    std::vector<QWidget *> m_controls; // template order
    // Radio groups: keyed by the index (in template order) of the control that starts them.
    std::map<std::size_t, std::vector<QAbstractButton *>> m_radioGroups;
    std::map<std::size_t, QButtonGroup *> m_buttonGroups;
    std::map<int, std::size_t> m_groupOfControl; // control id -> its group key
    std::function<bool(int, Notify)> m_route;
    std::function<bool(int, Notify)> m_hasHandler;
    std::map<int, int> m_timers;   // our id -> Qt timer id
    std::vector<QPointer<QWidget>> m_keptAbove;
    bool m_ended = false;
    bool m_destroyed = true;
};

} // namespace platform
