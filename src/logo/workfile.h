#pragma once
// The work file: the work image as printer bytes (a define-downloaded-bit-image command with
// 384 columns of 16 bytes, then the print command), and its export as a C header.
//
// The work file is one file. WriteWorkImage fixes its absolute path when it writes it; the C
// header export and the transfer to the vendor take that same path, so a file dialog that
// moves the current directory in between cannot make them read another file.
#include "platform/messages.h"

#include <QImage>
#include <QString>

#include <string>
#include <string_view>

// The work file's name, in the current directory when WriteWorkImage is called.
inline constexpr char kWorkFileName[] = "shoplogo.imp";

// Size of the work file: 5 header bytes, 384 x 16 image bytes, 3 trailing bytes.
constexpr size_t kWorkFileSize = 6152;

// Largest work file the header export reads: ours are 6152 bytes, and the transfer refuses
// anything from 7998 bytes on; a work file left by another program may differ a little.
constexpr size_t kMaxWorkFileSize = 64 * 1024;

// The work file's bytes for `workImage` (384 x 128; missing pixels count as no dot): 0x00,
// 1D 2A 30 10, then for x = 0..383 and k = 0..15 the byte of column x, rows 8k to 8k + 7
// (most significant bit topmost; a bit is 1 for a dot), then 1D 2F 00.
std::string WorkImageBytes(const QImage &workImage);

// The C header for the bytes of a work file (of any length): the declaration line of
// BmpShopDef, "{" followed by one line per 16 bytes (a TAB, then "0x%02X," per byte), and
// "};", every line ended by CR LF.
std::string HeaderText(std::string_view workFileBytes);

enum class WorkFileOutcome { Written, CannotCreate };
enum class HeaderOutcome { Written, CannotCreate, WorkFileUnreadable };

// Writes the work file for `workImage` at `path` (relative paths: from the current directory)
// as a whole: the bytes go to a file beside it that then replaces it. `absolutePath`, when
// given, receives the absolute path of the work file, also when the write failed: the path
// the header export and the transfer must use.
WorkFileOutcome WriteWorkImage(const QImage &workImage, const QString &path, QString *absolutePath = nullptr);

// Writes the C header for the work file at `workFilePath` to `headerPath` as a whole. When
// the work file cannot be read (also when it is no regular file or larger than
// kMaxWorkFileSize) nothing is written (WorkFileUnreadable); when the header cannot be
// written (CannotCreate), and in that case too, any previous file at `headerPath` stays
// as it was. The caller asks before overwriting.
HeaderOutcome ExportHeader(const QString &workFilePath, const QString &headerPath);

OperatorMessage MessageFor(WorkFileOutcome outcome);
OperatorMessage MessageFor(HeaderOutcome outcome);
