#pragma once
// Small helpers shared by the logo tests.
#include "logo/logolayout.h"
#include "platform/codepage.h"

#include <QFile>

#include <string>

// CP932 bytes of a UTF-8 literal.
inline std::string sj(const char *utf8)
{
    return platform::cp932FromUtf8(utf8);
}

// The whole content of a file, or "<unreadable>".
inline std::string readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}

// The layout of the worked example: a two-line shop name and a telephone number in
// "ＭＳ 明朝" on the picture "Shop.bmp".
inline LogoLayout workedExample()
{
    LogoLayout layout;
    layout.backgroundName = "Shop.bmp";
    layout.layers[ShopNameLayer] = {8, 4, sj("ＭＳ 明朝"), 40, sj("中央商店\r\n本店")};
    layout.layers[TelLayer] = {8, 90, sj("ＭＳ 明朝"), 20, "TEL 000-000-0000"};
    return layout;
}
