#include "platform/ui/controls.h"

#include "platform/codepage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVariant>

namespace platform {

namespace {
const char *kSortedProperty = "quorvelSorted";
}

int comboAddString(QComboBox *combo, const std::string &text)
{
    const QString item = fromCp932(text);
    int at = combo->count();
    if (combo->property(kSortedProperty).toBool()) {
        at = 0;
        while (at < combo->count() && QString::compare(combo->itemText(at), item, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    combo->insertItem(at, item);
    return at;
}

int comboFindString(const QComboBox *combo, int after, const std::string &prefix)
{
    const int n = combo->count();
    if (n == 0)
        return -1;
    const QString p = fromCp932(prefix);
    const int start = (after < 0 || after >= n) ? 0 : after + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        if (combo->itemText(i).startsWith(p, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

int comboSelectString(QComboBox *combo, int after, const std::string &prefix)
{
    const int i = comboFindString(combo, after, prefix);
    if (i >= 0)
        combo->setCurrentIndex(i);
    return i;
}

std::string comboItemText(const QComboBox *combo, int index)
{
    if (index < 0 || index >= combo->count())
        return {};
    return toCp932(combo->itemText(index));
}

int comboCurSel(const QComboBox *combo)
{
    return combo->currentIndex();
}

void comboSetCurSel(QComboBox *combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void comboResetContent(QComboBox *combo)
{
    combo->clear();
}

std::string windowText(const QWidget *w)
{
    if (!w)
        return {};
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return toCp932(b->text());
    if (auto *l = qobject_cast<const QLabel *>(w))
        return toCp932(l->property("quorvelText").isValid() ? l->property("quorvelText").toString() : l->text());
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return toCp932(e->text());
    if (auto *e = qobject_cast<const QPlainTextEdit *>(w)) {
        // The edit keeps lines apart with CR LF, as the platform's multi-line edit does.
        QString t = e->toPlainText();
        t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        return toCp932(t);
    }
    if (auto *c = qobject_cast<const QComboBox *>(w))
        return toCp932(c->isEditable() ? c->currentText() : c->itemText(c->currentIndex()));
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return toCp932(g->title());
    return toCp932(w->windowTitle());
}

void setWindowText(QWidget *w, const std::string &text)
{
    if (!w)
        return;
    const QString t = fromCp932(text);
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        b->setText(t);
    } else if (auto *l = qobject_cast<QLabel *>(w)) {
        l->setProperty("quorvelText", t);
        l->setText(l->property("quorvelNoPrefix").toBool() ? t : withoutMnemonics(t));
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->setText(t);
    } else if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        QString plain = t;
        plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        e->setPlainText(plain);
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (c->isEditable())
            c->setEditText(t);
    } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
        g->setTitle(t);
    } else {
        w->setWindowTitle(t);
    }
}

QString withoutMnemonics(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace platform
