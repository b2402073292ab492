#pragma once
// Operations on controls that the dialogs share, with the platform's rules. Texts are
// CP932 bytes.
//
// Combo boxes: a combo built with the "sort" style keeps its items in text order (letter
// case ignored), so comboAddString may insert in the middle and returns the position.
// Searching looks for the first item whose text BEGINS with the given text, letter case
// ignored, starting after item `after` (-1: from the top) and wrapping round once; an
// empty text therefore finds the first item.
#include <QString>

#include <string>

class QComboBox;
class QWidget;

namespace platform {

int comboAddString(QComboBox *combo, const std::string &text); // returns the item's index
int comboFindString(const QComboBox *combo, int after, const std::string &prefix); // -1 when none
// Selects the item comboFindString finds and returns its index; when none is found the
// selection stays as it was and -1 is returned.
int comboSelectString(QComboBox *combo, int after, const std::string &prefix);
std::string comboItemText(const QComboBox *combo, int index); // empty for a bad index
int comboCurSel(const QComboBox *combo);                        // -1: nothing selected
void comboSetCurSel(QComboBox *combo, int index);               // an index that is no item clears the selection
void comboResetContent(QComboBox *combo);

// Window text of any control (caption, edit text, the selected item of a pick-only combo).
std::string windowText(const QWidget *w);
void setWindowText(QWidget *w, const std::string &text);

// Caption shown for a control text with '&' mnemonics: "&&" is one '&', a single '&' marks
// the next letter (dropped here, for controls that cannot underline it).
QString withoutMnemonics(const QString &text);

} // namespace platform
