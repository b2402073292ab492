#include "platform/fonts.h"

#include <QFont>
#include <QGuiApplication>

namespace platform {

const std::vector<std::pair<QString, QString>> &fontSubstitutions()
{
    static const std::vector<std::pair<QString, QString>> table = {
        {QString::fromUtf8("ＭＳ 明朝"), QStringLiteral("IPAMincho")},
        {QString::fromUtf8("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho")},
        {QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("IPAGothic")},
        {QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")},
        {QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic")},
        {QStringLiteral("MS Mincho"), QStringLiteral("IPAMincho")},
        {QStringLiteral("MS PMincho"), QStringLiteral("IPAPMincho")},
        {QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")},
        {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")},
    };
    return table;
}

void installFontSubstitutions()
{
    for (const auto &[face, standIn] : fontSubstitutions())
        QFont::insertSubstitution(face, standIn);
}

} // namespace platform

namespace platform {

void installUiFont()
{
    QFont f(QStringLiteral("MS UI Gothic"));
    f.setPixelSize(12);
    QGuiApplication::setFont(f);
}

} // namespace platform
