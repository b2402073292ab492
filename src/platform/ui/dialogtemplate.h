#pragma once
// Dialog templates: the layout of a dialog window as data.
//
// Each template is a JSON file res/dialogs/<id>.json, compiled into the program as the
// Qt resource ":/dialogs/<id>.json" (every file in that folder is picked up when CMake
// configures). Texts are UTF-8 in the file. Example:
//
//   { "id": 103, "caption": "Pelmora", "size": [243, 239],
//     "font": ["ＭＳ Ｐゴシック", 11],
//     "style": ["caption", "sysmenu", "minimizebox", "modalframe", "appwindow"],
//     "controls": [
//       { "id": 1019, "kind": "button", "text": "領収書店名設定", "rect": [17, 23, 199, 74] },
//       { "id": 1, "kind": "defbutton", "text": "終了", "rect": [17, 192, 199, 28] } ] }
//
// Dialog: "size" is the client area [width, height] and every "rect" is
// [left, top, width, height], all in dialog units (see dialog.h for the conversion).
// "font" is [face, points]. Dialog styles: caption, sysmenu (close box and window
// menu), minimizebox, modalframe (fixed size), appwindow (a top-level window of its own).
//
// Controls are listed in tab order. "id" may be left out (or -1) for controls the code
// never touches; several controls may share -1. "text" is the caption; "items" the
// initial list items of a combo box. Kinds and the styles each takes:
//   static     left (default) | center | right, vcenter, sunken, nowrap, noprefix
//   button     a push button;  defbutton: the default push button (Enter presses it)
//   groupbox   a frame with a caption; drawn beneath the other controls, never takes clicks
//   radio      an automatic radio button; "group" on the first radio starts its group,
//              which runs until the next control that carries "group"
//   checkbox   an automatic check box
//   edit       multiline, wantreturn, center | right, border, readonly, password,
//              autohscroll, autovscroll, hscroll, vscroll
//   combo      dropdownlist (default: pick only) | dropdown (typing allowed), sort;
//              for a combo the rect's height is that of the opened list
//   tree       hasbuttons, haslines, linesatroot, showselalways, border,
//              nodragdrop, notooltips, singleexpand
// Styles every kind takes: group, disabled, hidden, notabstop.
// An unknown kind or style makes the whole template invalid, so mistakes show at once.
#include <QRect>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace platform {

enum class ControlKind { Static, Button, DefButton, GroupBox, Radio, CheckBox, Edit, Combo, Tree };

struct ControlTemplate {
    int id = -1;
    ControlKind kind = ControlKind::Static;
    QString text;
    QStringList items;
    QRect rect; // dialog units
    QStringList styles;

    bool has(const char *style) const { return styles.contains(QLatin1String(style)); }
};

struct DialogTemplate {
    int id = 0;
    QString caption;
    QSize size; // dialog units
    QString fontFace;
    int fontPoints = 9;
    QStringList styles;
    std::vector<ControlTemplate> controls;

    bool has(const char *style) const { return styles.contains(QLatin1String(style)); }
    const ControlTemplate *control(int id) const;
};

// Parses a template from JSON text. On failure returns false and says why in `error`.
bool parseDialogTemplate(const QByteArray &json, DialogTemplate &out, QString *error = nullptr);

// Loads template `id` from the program's resources (":/dialogs/<id>.json").
bool loadDialogTemplate(int id, DialogTemplate &out, QString *error = nullptr);

// The ids of all templates in the program's resources, ascending.
std::vector<int> dialogTemplateIds();

} // namespace platform
