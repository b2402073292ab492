#pragma once
// Small helpers shared by the logo tests.
#include "logo/logolayout.h"
#include "support/bytes.h"

using testutil::readAll;
using testutil::sj;

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
