#pragma once
// Rendering a layout into the work image: the 384 x 128 raster in which one pixel is one
// printer dot. What prints is decided by the dot rule alone: a pixel is a dot exactly when
// it is black (red, green and blue 0). Text is drawn without smoothing and in pure black, so
// every glyph pixel is a dot and the preview shows exactly the dots that print.
//
// Everything here needs a QGuiApplication (fonts), with platform::installFontSubstitutions()
// done so that the Windows Japanese face names reach their IPA stand-ins.
#include "logo/bmpfile.h"
#include "logo/logolayout.h"

#include <QFont>
#include <QImage>

#include <array>
#include <string>
#include <string_view>
#include <vector>

// Dark grey painted under the background; it prints nothing.
constexpr QRgb kLogoFillColour = 0xFF646464; // red, green and blue 100

// The dot rule.
inline bool IsDot(QRgb pixel)
{
    return (pixel & 0x00FFFFFF) == 0;
}

// A new 384 x 128 work image (Format_RGB32) filled with the fill colour.
QImage CreateWorkImage();

// The built-in background, loaded afresh from the embedded resource on every call: 384 x 134
// pixels, a light grey grid with a white label, no black pixel (Format_RGB32).
QImage DefaultBackground();

// Loads the BMP file at `path` at its own size as a background picture (Format_RGB32, its
// colours taken as stored). Only a regular file of at most kMaxBackgroundFileSize bytes
// whose pixel data cover the picture's declared size, at most kMaxBackgroundSide pixels
// each way, is taken (see DecodeBmp). On failure returns false and leaves `picture` as it
// was.
bool LoadBackgroundPicture(const QString &path, QImage &picture);

// The font one layer is drawn with, as the layer's face name and size request it.
struct LayerFont {
    QFont font;
    int ascent = 0; // from the top of a line's cell to its baseline
    int cellHeight = 0; // the distance from one line to the next: `size` for size > 0
    int averageCharWidth = 0; // also sets the tab stops, every 8 average widths
};

// Makes the font for `faceName` (CP932) and `size`: a cell height of exactly `size` pixels
// (lines step by it, and the first line's cell starts at the layer's y) and an average
// character width of `size` / 2 pixels, normal weight, no smoothing. The pixel size is the
// largest whose ascent + descent is not taller than `size`; where the face's rounded
// metrics fall one short (the IPA faces cannot reach every height), the spare dot goes into
// the cell above or below the glyphs as the ascent and descent share it. A horizontal
// stretch brings the average width to `size` / 2. A negative size asks for a character (em)
// height of -size instead, as the platform's font request does. A face that is not
// installed falls back to the Mincho stand-in, the closest match for a Japanese fixed-pitch
// serif request; the layer's face name is not changed. Returns false for size 0 (nothing
// is drawn).
bool CreateLayerFont(std::string_view faceName, int32_t size, LayerFont &out);

// Redraws `workImage` (made by CreateWorkImage) from `background` and the two layers: the
// fill colour, the background at its own size with its top-left corner at (0, 0) cut at
// 384 x 128, then layer 0 and layer 1 in black. Each layer's text starts with its first
// line's top at (x, y); lines break only at CR LF, each line starts at x, tabs go to the
// next stop, "&" is an ordinary character, and the output is clipped to the rectangle from
// (x, y) to (384, 128). A null background leaves the work image unchanged.
void RenderLogo(QImage &workImage, const QImage &background, const std::array<TextLayer, 2> &layers);

// The faces the logo dialog offers (CP932): the installed font families and the Windows
// Japanese face names whose stand-in is installed, without "@" names and without a second
// entry for a name that differs only in letter case, sorted (letter case ignored).
std::vector<std::string> FontList();

// The sizes the logo dialog offers: "4", "6", ..., "78".
std::vector<std::string> SizeList();
