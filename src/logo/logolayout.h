#pragma once
// The receipt logo design: two text layers over a background picture, and the layout file
// (".slp") in which an operator keeps one.
//
// Every text here (layer texts, face names, the background file name) is CP932 bytes, and
// every length and character test counts bytes.
#include "platform/messages.h"
#include "texts/logo.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Size of the logo, and of the work image, in printer dots.
constexpr int kLogoWidth = 384;
constexpr int kLogoHeight = 128;

// The only printer type of the system: the normal printer with a 384 x 128 dot logo.
constexpr int32_t kNormalPrinterType = 1;

// Index of a text layer within a layout.
enum LayerIndex : int { ShopNameLayer = 0, TelLayer = 1 };

// The face every new layer starts with (CP932).
inline constexpr std::string_view kDefaultFaceName = logotext::kDefaultFaceName;

// One text layer. A line break inside `text` is the pair CR LF.
struct TextLayer {
    int32_t x = 0; // left edge of the text box, in dots; may be negative
    int32_t y = 0; // top edge of the text box, in dots; may be negative
    std::string faceName = std::string(kDefaultFaceName);
    int32_t size = 32; // cell height in dots
    std::string text;

    bool operator==(const TextLayer &) const = default;
};

// One layout as the layout file holds it.
struct LogoLayout {
    int32_t printerType = kNormalPrinterType;
    std::string backgroundName; // file name without folder; empty: the built-in background
    std::array<TextLayer, 2> layers;

    bool operator==(const LogoLayout &) const = default;
};

// --- Field writing and reading -------------------------------------------------------------

// Appends `text` to `dest` in the form a quoted field of the layout file holds: each CR LF
// pair (and a lone LF) becomes backslash "n", a double quote becomes backslash and double
// quote, and a backslash is doubled where it would otherwise be read as the start of one of
// these (before "n", a double quote, another backslash, or at the end of the text). A CP932
// double-byte character is copied as one unit, so a second byte of 0x5C is never treated as
// a backslash. Texts without backslashes or double quotes come out exactly as written with
// only their line breaks escaped.
void EscapeLineBreaks(std::string &dest, std::string_view text);

// The field readers work on the rest of one line (without its line end), the cursor being
// the part not yet read; each reader removes what it has read from the front of the cursor.

// Skips every byte up to the first ASCII digit, reads the run of digits as a decimal
// number and stops on the first byte after it. A minus sign directly in front of the digits
// makes the value negative. No digit before the end: 0, cursor empty. Values beyond the
// 32-bit range are held at its limits.
int32_t ReadIntField(std::string_view &cursor);

// Skips every byte up to and including the first double quote, then collects bytes up to
// the next double quote that is not escaped, the reverse of EscapeLineBreaks: backslash "n"
// gives CR LF, backslash and double quote a double quote, two backslashes one backslash,
// and a backslash before anything else stays itself. A CP932 double-byte character is read
// as one unit. The cursor is left just after the closing quote; without one, everything up
// to the end of the line is the field. `out` is replaced, and left empty when the cursor is
// empty.
void ReadQuotedField(std::string_view &cursor, std::string &out);

// --- The layout file -----------------------------------------------------------------------

// The file's five lines, CR LF ended: "SHOPLOGO", "PRINTER,<type>", "BGLAYER,"<name>"",
// and one "TEXTLAYER,<index>,<x>,<y>,"<face>",<size>,"<text>"" line per layer. Lines have
// no length limit.
std::string FormatLayoutFile(const LogoLayout &layout);

// Reads a layout file's content (lines ended by CR LF or LF) over `fileCopy`: the first line
// must be exactly "SHOPLOGO", else false and `fileCopy` is left as it was. Each later line
// sets what its key names and a later line overrides an earlier one; what the file does not
// mention keeps the value `fileCopy` had. Keys are case-sensitive; unknown lines, lines
// without a comma, and TEXTLAYER lines whose index is not 0 or 1 are ignored.
bool ParseLayoutFile(std::string_view content, LogoLayout &fileCopy);

// How saving and loading a layout file end; MessageFor() gives what the operator is told.
enum class SaveLayoutOutcome { Saved, CannotCreate };
enum class LoadLayoutOutcome { Loaded, CannotOpen, WrongKind };

// Writes `layout` to `path` as a whole: the content goes to a file beside the target that
// then replaces it, so a failed save leaves any previous file as it was and never a partial
// one. The caller asks before overwriting and, on Saved, takes `layout` as its file copy.
SaveLayoutOutcome SaveLayoutFile(const QString &path, const LogoLayout &layout);

// Largest layout file read: a real one holds five lines of typed text, a few hundred bytes.
constexpr size_t kMaxLayoutFileSize = size_t(1) << 20;

// Reads the layout file at `path` over `fileCopy` (see ParseLayoutFile). `fileCopy` changes
// only on Loaded. A path that is not a regular file (a folder, a FIFO, a device) or a file
// larger than kMaxLayoutFileSize cannot be opened.
LoadLayoutOutcome LoadLayoutFile(const QString &path, LogoLayout &fileCopy);

OperatorMessage MessageFor(SaveLayoutOutcome outcome);
OperatorMessage MessageFor(LoadLayoutOutcome outcome);
