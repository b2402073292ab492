#include "platform/ui/dialogtemplate.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>
#include <set>

namespace platform {

namespace {

const std::map<QString, ControlKind> &kinds()
{
    static const std::map<QString, ControlKind> k = {
        {QStringLiteral("static"), ControlKind::Static},
        {QStringLiteral("button"), ControlKind::Button},
        {QStringLiteral("defbutton"), ControlKind::DefButton},
        {QStringLiteral("groupbox"), ControlKind::GroupBox},
        {QStringLiteral("radio"), ControlKind::Radio},
        {QStringLiteral("checkbox"), ControlKind::CheckBox},
        {QStringLiteral("edit"), ControlKind::Edit},
        {QStringLiteral("combo"), ControlKind::Combo},
        {QStringLiteral("tree"), ControlKind::Tree},
    };
    return k;
}

QStringList stylesFor(ControlKind kind)
{
    QStringList s{QStringLiteral("group"), QStringLiteral("disabled"), QStringLiteral("hidden"),
                  QStringLiteral("notabstop")};
    switch (kind) {
    case ControlKind::Static:
        s << QStringLiteral("left") << QStringLiteral("center") << QStringLiteral("right")
          << QStringLiteral("vcenter") << QStringLiteral("sunken") << QStringLiteral("nowrap")
          << QStringLiteral("noprefix");
        break;
    case ControlKind::Edit:
        s << QStringLiteral("multiline") << QStringLiteral("wantreturn") << QStringLiteral("center")
          << QStringLiteral("right") << QStringLiteral("border") << QStringLiteral("readonly")
          << QStringLiteral("password") << QStringLiteral("autohscroll")
          << QStringLiteral("autovscroll") << QStringLiteral("hscroll") << QStringLiteral("vscroll");
        break;
    case ControlKind::Combo:
        s << QStringLiteral("dropdownlist") << QStringLiteral("dropdown") << QStringLiteral("sort");
        break;
    case ControlKind::Tree:
        s << QStringLiteral("hasbuttons") << QStringLiteral("haslines") << QStringLiteral("linesatroot")
          << QStringLiteral("showselalways") << QStringLiteral("border") << QStringLiteral("nodragdrop")
          << QStringLiteral("notooltips") << QStringLiteral("singleexpand");
        break;
    default:
        break;
    }
    return s;
}

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

bool readInts(const QJsonValue &v, int count, int *out)
{
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != count)
        return false;
    for (int i = 0; i < count; ++i) {
        if (!a[i].isDouble())
            return false;
        out[i] = a[i].toInt();
    }
    return true;
}

bool readStrings(const QJsonValue &v, QStringList &out)
{
    if (v.isUndefined())
        return true;
    if (!v.isArray())
        return false;
    for (const auto &s : v.toArray()) {
        if (!s.isString())
            return false;
        out << s.toString();
    }
    return true;
}

} // namespace

const ControlTemplate *DialogTemplate::control(int wanted) const
{
    for (const ControlTemplate &c : controls)
        if (c.id == wanted && wanted != -1)
            return &c;
    return nullptr;
}

bool parseDialogTemplate(const QByteArray &json, DialogTemplate &out, QString *error)
{
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (doc.isNull() || !doc.isObject())
        return fail(error, QStringLiteral("not a JSON object: ") + pe.errorString());
    const QJsonObject o = doc.object();

    DialogTemplate t;
    t.id = o.value(QStringLiteral("id")).toInt(0);
    t.caption = o.value(QStringLiteral("caption")).toString();
    int size[2];
    if (!readInts(o.value(QStringLiteral("size")), 2, size) || size[0] <= 0 || size[1] <= 0)
        return fail(error, QStringLiteral("\"size\" must be [width, height]"));
    t.size = QSize(size[0], size[1]);
    const QJsonArray font = o.value(QStringLiteral("font")).toArray();
    if (font.size() != 2 || !font[0].isString() || !font[1].isDouble() || font[1].toInt() <= 0)
        return fail(error, QStringLiteral("\"font\" must be [face, points]"));
    t.fontFace = font[0].toString();
    t.fontPoints = font[1].toInt();
    if (!readStrings(o.value(QStringLiteral("style")), t.styles))
        return fail(error, QStringLiteral("\"style\" must be a list of words"));
    static const QStringList dialogStyles{QStringLiteral("caption"), QStringLiteral("sysmenu"),
                                          QStringLiteral("minimizebox"), QStringLiteral("modalframe"),
                                          QStringLiteral("appwindow")};
    for (const QString &s : t.styles)
        if (!dialogStyles.contains(s))
            return fail(error, QStringLiteral("unknown dialog style \"%1\"").arg(s));

    std::set<int> ids;
    const QJsonArray controls = o.value(QStringLiteral("controls")).toArray();
    for (int i = 0; i < controls.size(); ++i) {
        const QJsonObject c = controls[i].toObject();
        const QString where = QStringLiteral("control %1: ").arg(i);
        ControlTemplate ct;
        ct.id = c.value(QStringLiteral("id")).toInt(-1);
        if (ct.id != -1 && !ids.insert(ct.id).second)
            return fail(error, where + QStringLiteral("id %1 used twice").arg(ct.id));
        const auto kind = kinds().find(c.value(QStringLiteral("kind")).toString());
        if (kind == kinds().end())
            return fail(error, where + QStringLiteral("unknown kind"));
        ct.kind = kind->second;
        ct.text = c.value(QStringLiteral("text")).toString();
        int r[4];
        if (!readInts(c.value(QStringLiteral("rect")), 4, r) || r[2] < 0 || r[3] < 0)
            return fail(error, where + QStringLiteral("\"rect\" must be [left, top, width, height]"));
        ct.rect = QRect(r[0], r[1], r[2], r[3]);
        if (!readStrings(c.value(QStringLiteral("items")), ct.items))
            return fail(error, where + QStringLiteral("\"items\" must be a list of texts"));
        if (!ct.items.isEmpty() && ct.kind != ControlKind::Combo)
            return fail(error, where + QStringLiteral("only a combo box takes items"));
        if (!readStrings(c.value(QStringLiteral("style")), ct.styles))
            return fail(error, where + QStringLiteral("\"style\" must be a list of words"));
        const QStringList allowed = stylesFor(ct.kind);
        for (const QString &s : ct.styles)
            if (!allowed.contains(s))
                return fail(error, where + QStringLiteral("style \"%1\" does not fit this kind").arg(s));
        t.controls.push_back(std::move(ct));
    }
    out = std::move(t);
    return true;
}

bool loadDialogTemplate(int id, DialogTemplate &out, QString *error)
{
    QFile f(QStringLiteral(":/dialogs/%1.json").arg(id));
    if (!f.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("no dialog template %1").arg(id));
    if (!parseDialogTemplate(f.readAll(), out, error))
        return false;
    if (out.id != id)
        return fail(error, QStringLiteral("template file %1 says it is %2").arg(id).arg(out.id));
    return true;
}

std::vector<int> dialogTemplateIds()
{
    std::vector<int> ids;
    const QStringList names = QDir(QStringLiteral(":/dialogs")).entryList({QStringLiteral("*.json")});
    for (const QString &n : names) {
        bool ok = false;
        const int id = n.chopped(5).toInt(&ok);
        if (ok)
            ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace platform
