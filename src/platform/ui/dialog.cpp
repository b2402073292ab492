#include "platform/ui/dialog.h"

#include "platform/codepage.h"
#include "platform/ui/controls.h"
#include "platform/ui/windowhints.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>

namespace platform {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long q = p >= 0 ? (p + c / 2) / c : -((-p + c / 2) / c);
    return static_cast<int>(q);
}

Dialog *g_mainWindow = nullptr;

// A group box as the platform draws it: the frame's top line runs through the middle of
// the title, so that controls placed one line below the box's top lie inside the frame
// and clear of its line.
class GroupFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QFontMetrics fm(font());
        const int textHeight = fm.height();
        // An etched line: a dark one with a light one just inside it.
        const QRect box = rect().adjusted(0, textHeight / 2, -1, -1);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        p.setPen(palette().color(QPalette::Light));
        p.drawRect(box.adjusted(1, 1, 0, 0));
        if (title().isEmpty())
            return;
        const int inset = fm.averageCharWidth();
        const QString text = withoutMnemonics(title());
        const QRect textRect(inset, 0, std::min(fm.horizontalAdvance(text) + 4, width() - 2 * inset), textHeight);
        p.fillRect(textRect, palette().brush(backgroundRole()));
        style()->drawItemText(&p, textRect, Qt::AlignCenter | Qt::TextHideMnemonic, palette(), isEnabled(), text,
                              QPalette::WindowText);
    }
};

} // namespace

QWidget *ownerWindow()
{
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->isVisible())
        return modal;
    if (QWidget *active = QApplication::activeWindow(); active && active->isVisible() &&
                                                        !(active->windowFlags() & Qt::Popup))
        return active;
    if (g_mainWindow && g_mainWindow->isVisible())
        return g_mainWindow;
    return nullptr;
}

int DialogUnits::x(int du) const
{
    return mulDiv(du, baseX, 4);
}

int DialogUnits::y(int du) const
{
    return mulDiv(du, baseY, 8);
}

QRect DialogUnits::rect(const QRect &du) const
{
    const int left = x(du.x());
    const int top = y(du.y());
    const int right = x(du.x() + du.width());
    const int bottom = y(du.y() + du.height());
    return QRect(left, top, right - left, bottom - top);
}

QFont dialogFont(const QString &face, int points)
{
    QFont f(face);
    f.setPixelSize(mulDiv(points, 96, 72));
    return f;
}

DialogUnits dialogBaseUnits(const QFont &font)
{
    const QFontMetrics fm(font);
    const int w = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits u;
    u.baseX = (w / 26 + 1) / 2;
    // Ascent and descent each rounded to whole pixels, as the platform's text metrics
    // give them (QFontMetrics rounds both up, which can make a face a pixel taller).
    const QFontMetricsF fmf(font);
    u.baseY = qRound(fmf.ascent()) + qRound(fmf.descent());
    return u;
}

Dialog::Dialog(int templateId) : QDialog(nullptr), m_templateId(templateId)
{
    QString error;
    m_valid = loadDialogTemplate(templateId, m_template, &error);
    if (!m_valid) {
        qWarning("dialog template %d: %s", templateId, qPrintable(error));
        return;
    }
    build();
}

Dialog::Dialog(const DialogTemplate &dialogTemplate)
    : QDialog(nullptr), m_templateId(dialogTemplate.id), m_template(dialogTemplate), m_valid(true)
{
    build();
}

Dialog::~Dialog() = default;

void Dialog::build()
{
    const DialogTemplate &t = m_template;
    Qt::WindowFlags flags = t.has("appwindow") ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (t.has("caption"))
        flags |= Qt::WindowTitleHint;
    if (t.has("sysmenu"))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (t.has("minimizebox"))
        flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(t.caption);

    const QFont font = dialogFont(t.fontFace, t.fontPoints);
    setFont(font);
    m_units = dialogBaseUnits(font);
    setFixedSize(m_units.x(t.size.width()), m_units.y(t.size.height()));

    std::size_t groupStart = 0;
    QWidget *previous = nullptr;
    std::vector<QWidget *> groupBoxes;
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        const ControlTemplate &c = t.controls[i];
        if (i == 0 || c.has("group"))
            groupStart = i;
        QWidget *w = makeControl(c);
        m_controls.push_back(w);
        w->setGeometry(m_units.rect(c.rect));
        if (c.kind == ControlKind::Combo) {
            // The template gives the height of the opened list; the closed box is as tall
            // as its font needs.
            auto *combo = static_cast<QComboBox *>(w);
            const int closed = combo->sizeHint().height();
            w->resize(w->width(), closed);
            const int itemHeight = std::max(1, QFontMetrics(font).height() + 2);
            combo->setMaxVisibleItems(std::max(1, (m_units.y(c.rect.height()) - closed) / itemHeight));
        }
        if (c.kind == ControlKind::Radio) {
            m_radioGroups[groupStart].push_back(static_cast<QAbstractButton *>(w));
            QButtonGroup *&bg = m_buttonGroups[groupStart];
            if (!bg) {
                bg = new QButtonGroup(this);
                bg->setExclusive(true);
            }
            bg->addButton(static_cast<QAbstractButton *>(w));
        }
        if (c.kind == ControlKind::GroupBox)
            groupBoxes.push_back(w);
        if (c.has("disabled"))
            w->setEnabled(false);
        if (c.has("hidden"))
            w->setVisible(false);
        if (c.has("notabstop") && w->focusPolicy() != Qt::NoFocus)
            w->setFocusPolicy(Qt::ClickFocus);
        if (c.id != -1) {
            m_items[c.id] = w;
            m_groupOfControl[c.id] = groupStart;
        }
        if (w->focusPolicy() & Qt::TabFocus) {
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        }
    }
    // Group boxes are frames behind the controls they surround.
    for (QWidget *g : groupBoxes)
        g->lower();
    widenCutLabels();
}

void Dialog::widenCutLabels()
{
    // The template's sizes were made for the platform's own faces; with another face a
    // one-line label can come out a little wider than its rectangle and lose its last
    // characters. Such a label grows to the right into free space, never over another
    // control or past the dialog's edge.
    for (QWidget *w : m_controls) {
        auto *label = qobject_cast<QLabel *>(w);
        if (!label || label->text().isEmpty() || label->frameShape() != QFrame::NoFrame)
            continue;
        const QFontMetrics fm(label->font());
        if (label->height() >= 2 * fm.height() || label->text().contains(QLatin1Char('\n')))
            continue;
        const int needed = fm.horizontalAdvance(label->text()) + 1;
        if (needed <= label->width())
            continue;
        QRect wider = label->geometry();
        wider.setWidth(needed);
        if (wider.right() >= width())
            continue;
        bool free = true;
        for (QWidget *other : m_controls) {
            if (other == label || qobject_cast<QGroupBox *>(other) || other->isHidden())
                continue;
            if (other->geometry().intersects(wider) && !other->geometry().intersects(label->geometry())) {
                free = false;
                break;
            }
        }
        if (free)
            label->setGeometry(wider);
    }
}

namespace {

// One small factory per kind of control: each makes the widget of a template control as
// a child of the dialog and routes its notifications to the dialog's command().

Qt::Alignment horizontalAlignment(const ControlTemplate &c)
{
    return c.has("center") ? Qt::AlignHCenter : c.has("right") ? Qt::AlignRight : Qt::AlignLeft;
}

QWidget *makeStatic(Dialog &d, const ControlTemplate &c)
{
    auto *l = new QLabel(&d);
    l->setAlignment(horizontalAlignment(c) | (c.has("vcenter") ? Qt::AlignVCenter : Qt::AlignTop));
    l->setWordWrap(!c.has("nowrap") && !c.has("vcenter"));
    if (c.has("sunken")) {
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setLineWidth(1);
    }
    l->setProperty("quorvelNoPrefix", c.has("noprefix"));
    l->setProperty("quorvelText", c.text);
    l->setText(c.has("noprefix") ? c.text : withoutMnemonics(c.text));
    return l;
}

QWidget *makeButton(Dialog &d, const ControlTemplate &c)
{
    auto *b = new QPushButton(c.text, &d);
    // The default button is the template's and stays so: a button that had the focus once
    // must not take over Enter for the rest of the dialog's life.
    b->setAutoDefault(false);
    b->setDefault(c.kind == ControlKind::DefButton);
    if (const int id = c.id; id != -1)
        QObject::connect(b, &QPushButton::clicked, &d, [dlg = &d, id] { dlg->command(id, Notify::Clicked); });
    return b;
}

QWidget *makeGroupBox(Dialog &d, const ControlTemplate &c)
{
    auto *g = new GroupFrame(c.text, &d);
    g->setAttribute(Qt::WA_TransparentForMouseEvents);
    g->setFocusPolicy(Qt::NoFocus);
    return g;
}

// Radio buttons and check boxes.
QWidget *makeCheckable(Dialog &d, const ControlTemplate &c)
{
    QAbstractButton *b = nullptr;
    if (c.kind == ControlKind::Radio) {
        b = new QRadioButton(c.text, &d);
        b->setAutoExclusive(false); // exclusive within its template group only
    } else {
        b = new QCheckBox(c.text, &d);
    }
    if (const int id = c.id; id != -1)
        QObject::connect(b, &QAbstractButton::clicked, &d, [dlg = &d, id] { dlg->command(id, Notify::Clicked); });
    return b;
}

QWidget *makeMultilineEdit(Dialog &d, const ControlTemplate &c)
{
    auto *e = new QPlainTextEdit(&d);
    e->setTabChangesFocus(true);
    e->setLineWrapMode(c.has("autohscroll") || c.has("hscroll") ? QPlainTextEdit::NoWrap
                                                                : QPlainTextEdit::WidgetWidth);
    e->setVerticalScrollBarPolicy(c.has("vscroll") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    e->setHorizontalScrollBarPolicy(c.has("hscroll") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    e->setReadOnly(c.has("readonly"));
    if (!c.has("border"))
        e->setFrameStyle(QFrame::NoFrame);
    QTextOption opt = e->document()->defaultTextOption();
    opt.setAlignment(horizontalAlignment(c));
    e->document()->setDefaultTextOption(opt);
    e->setPlainText(c.text);
    if (!c.has("wantreturn"))
        e->installEventFilter(&d); // Enter presses the default button
    if (const int id = c.id; id != -1)
        QObject::connect(e, &QPlainTextEdit::textChanged, &d, [dlg = &d, id] { dlg->command(id, Notify::Change); });
    return e;
}

QWidget *makeEdit(Dialog &d, const ControlTemplate &c)
{
    if (c.has("multiline"))
        return makeMultilineEdit(d, c);
    auto *e = new QLineEdit(c.text, &d);
    e->setAlignment(horizontalAlignment(c) | Qt::AlignVCenter);
    e->setFrame(c.has("border"));
    e->setReadOnly(c.has("readonly"));
    if (c.has("password"))
        e->setEchoMode(QLineEdit::Password);
    if (const int id = c.id; id != -1)
        QObject::connect(e, &QLineEdit::textChanged, &d, [dlg = &d, id] { dlg->command(id, Notify::Change); });
    return e;
}

QWidget *makeCombo(Dialog &d, const ControlTemplate &c)
{
    auto *combo = new QComboBox(&d);
    combo->setEditable(c.has("dropdown"));
    if (combo->isEditable())
        combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setProperty("quorvelSorted", c.has("sort"));
    for (const QString &s : c.items)
        comboAddString(combo, toCp932(s));
    combo->setCurrentIndex(-1);
    if (const int id = c.id; id != -1) {
        QObject::connect(combo, &QComboBox::activated, &d, [dlg = &d, id] {
            dlg->command(id, Notify::SelChange);
            dlg->command(id, Notify::SelEndOk);
        });
    }
    return combo;
}

QWidget *makeTree(Dialog &d, const ControlTemplate &c)
{
    auto *tree = new QTreeWidget(&d);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setRootIsDecorated(c.has("linesatroot") || c.has("hasbuttons"));
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    if (!c.has("border"))
        tree->setFrameStyle(QFrame::NoFrame);
    if (c.has("singleexpand")) {
        QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [tree](QTreeWidgetItem *opened) {
            QTreeWidgetItem *parent = opened->parent();
            const int n = parent ? parent->childCount() : tree->topLevelItemCount();
            for (int i = 0; i < n; ++i) {
                QTreeWidgetItem *sibling = parent ? parent->child(i) : tree->topLevelItem(i);
                if (sibling != opened)
                    sibling->setExpanded(false);
            }
        });
    }
    if (const int id = c.id; id != -1)
        QObject::connect(tree, &QTreeWidget::currentItemChanged, &d,
                         [dlg = &d, id] { dlg->command(id, Notify::TreeSelChanged); });
    return tree;
}

struct ControlFactory {
    ControlKind kind;
    QWidget *(*make)(Dialog &, const ControlTemplate &);
};

const ControlFactory kControlFactories[] = {
    {ControlKind::Static, makeStatic},       {ControlKind::Button, makeButton},
    {ControlKind::DefButton, makeButton},    {ControlKind::GroupBox, makeGroupBox},
    {ControlKind::Radio, makeCheckable},     {ControlKind::CheckBox, makeCheckable},
    {ControlKind::Edit, makeEdit},           {ControlKind::Combo, makeCombo},
    {ControlKind::Tree, makeTree},
};

} // namespace

QWidget *Dialog::makeControl(const ControlTemplate &c)
{
    for (const ControlFactory &f : kControlFactories)
        if (f.kind == c.kind)
            return f.make(*this, c);
    return new QWidget(this);
}

int Dialog::runModal()
{
    if (!m_valid)
        return -1;
    initialise();
    if (m_ended) { // OnInitDialog ended the dialog at once
        destroyWindow();
        return result();
    }
    QWidget *owner = ownerWindow();
    if (owner == this)
        owner = nullptr;
    if (owner) {
        // A transient of its owner: stacked above it, and modal for it.
        winId();
        if (windowHandle() && owner->window()->windowHandle())
            windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
    placeNearOwner(owner);
    const int r = exec();
    destroyWindow();
    return r;
}

int Dialog::runMain()
{
    if (!m_valid)
        return -1;
    initialise();
    if (m_ended) {
        destroyWindow();
        return result();
    }
    placeNearOwner(nullptr);
    Dialog *previous = g_mainWindow;
    g_mainWindow = this;
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    show();
    if (!m_ended)
        loop.exec(QEventLoop::DialogExec);
    g_mainWindow = previous;
    destroyWindow();
    return result();
}

Dialog *Dialog::mainWindow()
{
    return g_mainWindow;
}

bool Dialog::create()
{
    if (!m_valid)
        return false;
    initialise();
    return true;
}

void Dialog::initialise()
{
    m_ended = false;
    m_destroyed = false;
    setResult(0);
    if (OnInitDialog()) {
        // The first control in tab order that takes the focus gets it.
        for (QWidget *w : m_controls) {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->isHidden()) {
                w->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
}

QRect Dialog::availableArea(const QWidget *w)
{
    QScreen *screen = w ? w->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QRect Dialog::keptWithin(QRect r, const QRect &area)
{
    if (!area.isValid())
        return r;
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

void Dialog::placeNearOwner(QWidget *owner)
{
    const QRect screenArea = availableArea(owner ? owner : this);
    const QRect area = owner ? owner->frameGeometry() : screenArea;
    if (!area.isValid())
        return;
    QRect r(QPoint(0, 0), size());
    r.moveCenter(area.center());
    move(keptWithin(r, screenArea).topLeft());
}

void Dialog::setOwner(QWidget *owner)
{
    setParent(owner, windowFlags());
}

void Dialog::endDialog(int r)
{
    m_ended = true;
    done(r);
}

void Dialog::destroyWindow()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    OnDestroy();
    for (const auto &[id, qtId] : m_timers)
        QObject::killTimer(qtId);
    m_timers.clear();
    hide();
}

QWidget *Dialog::item(int id) const
{
    const auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}

std::string Dialog::itemText(int id) const
{
    return windowText(item(id));
}

void Dialog::setItemText(int id, const std::string &text)
{
    setWindowText(item(id), text);
}

void Dialog::enableItem(int id, bool enable)
{
    if (QWidget *w = item(id))
        w->setEnabled(enable);
}

void Dialog::showItem(int id, bool show)
{
    if (QWidget *w = item(id))
        w->setVisible(show);
}

int Dialog::radioIndex(int firstId) const
{
    const auto g = m_groupOfControl.find(firstId);
    if (g == m_groupOfControl.end())
        return -1;
    const auto radios = m_radioGroups.find(g->second);
    if (radios == m_radioGroups.end())
        return -1;
    for (std::size_t i = 0; i < radios->second.size(); ++i)
        if (radios->second[i]->isChecked())
            return int(i);
    return -1;
}

void Dialog::setRadioIndex(int firstId, int index)
{
    const auto g = m_groupOfControl.find(firstId);
    if (g == m_groupOfControl.end())
        return;
    const auto radios = m_radioGroups.find(g->second);
    if (radios == m_radioGroups.end())
        return;
    QButtonGroup *bg = m_buttonGroups.at(g->second);
    bg->setExclusive(false);
    for (std::size_t i = 0; i < radios->second.size(); ++i)
        radios->second[i]->setChecked(int(i) == index);
    bg->setExclusive(true);
}

void Dialog::setCaption(const std::string &text)
{
    setWindowTitle(fromCp932(text));
}

bool Dialog::command(int id, Notify code)
{
    if (m_route && m_route(id, code))
        return true;
    if (code == Notify::Command) {
        if (id == IDOK) {
            OnOK();
            return true;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return true;
        }
    }
    return false;
}

bool Dialog::hasHandler(int id, Notify code) const
{
    return m_hasHandler && m_hasHandler(id, code);
}

void Dialog::startWindowTimer(int id, int milliseconds)
{
    stopWindowTimer(id);
    // Precise: a clock shown once a second must not drift by the coarse timers' 5 %.
    const int qtId = QObject::startTimer(milliseconds, Qt::PreciseTimer);
    if (qtId != 0)
        m_timers[id] = qtId;
}

void Dialog::stopWindowTimer(int id)
{
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    QObject::killTimer(it->second);
    m_timers.erase(it);
}

bool Dialog::OnInitDialog()
{
    return true;
}

void Dialog::OnOK()
{
    endDialog(IDOK);
}

void Dialog::OnCancel()
{
    endDialog(IDCANCEL);
}

void Dialog::OnTimer(int)
{
}

void Dialog::OnDestroy()
{
}

void Dialog::accept()
{
    command(IDOK);
}

void Dialog::reject()
{
    command(IDCANCEL);
}

void Dialog::pressDefaultButton()
{
    // A focused push button is pressed by Enter; otherwise the default button; otherwise
    // the dialog gets the IDOK command.
    if (auto *b = qobject_cast<QPushButton *>(focusWidget()); b && b->isEnabled() && b->isVisible()) {
        b->click();
        return;
    }
    for (QPushButton *b : findChildren<QPushButton *>(Qt::FindDirectChildrenOnly)) {
        if (b->isDefault()) {
            if (b->isEnabled() && b->isVisible())
                b->click();
            return;
        }
    }
    command(IDOK);
}

void Dialog::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::NoModifier || (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter)) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            pressDefaultButton();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void Dialog::keepAbove(QWidget *window)
{
    std::erase_if(m_keptAbove, [](const QPointer<QWidget> &w) { return w.isNull(); });
    if (window && std::find(m_keptAbove.begin(), m_keptAbove.end(), window) == m_keptAbove.end())
        m_keptAbove.emplace_back(window);
}

bool Dialog::event(QEvent *event)
{
    const bool handled = QDialog::event(event);
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::Move:
    case QEvent::ZOrderChange:
        for (const QPointer<QWidget> &w : m_keptAbove)
            if (w && w->isVisible())
                w->raise();
        break;
    default:
        break;
    }
    return handled;
}

bool Dialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && qobject_cast<QPlainTextEdit *>(watched)) {
        auto *k = static_cast<QKeyEvent *>(event);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            !(k->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier))) {
            pressDefaultButton();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Dialog::showEvent(QShowEvent *event)
{
    // The window exists but is not mapped yet: the frame the window manager draws follows
    // the template (no maximise box on a fixed-size dialog, no close box without a system
    // menu), which Qt's own hints do not say for every combination.
    setWindowFrameHints(this, m_template.has("caption"), m_template.has("sysmenu"), m_template.has("minimizebox"));
    QDialog::showEvent(event);
}

void Dialog::timerEvent(QTimerEvent *event)
{
    for (const auto &[id, qtId] : m_timers) {
        if (qtId == event->timerId()) {
            const int ours = id; // OnTimer may stop or restart timers
            OnTimer(ours);
            return;
        }
    }
    QDialog::timerEvent(event);
}

} // namespace platform
