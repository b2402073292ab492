#pragma once
// The MFP parameter file ("MFPconfig.csv"): the 112 bytes of a parameter set as decimal
// numbers, one record per line. Written as exactly 13 lines ended by CR LF:
//
//   MFPconfig
//   <paperNumber>,<paperCodeIndex>,<lefSef>,...,<otherSpec>     ten lines, entries 0-9
//   100,<faxLine2>
//   101,<scanCharging>
//
// Read with CR LF or LF line ends. The first line must pass MatchKeyword with
// "MFPconfig". Every further line starts with its key: 0-9 an entry line (the key is the
// entry's paperNumber, the next ten fields bytes 1-10), 100 faxLine2, 101 scanCharging;
// every other key is ignored. A load merges into the set: what no line names keeps its
// value, and a later line overrides an earlier one. Values are stored modulo 256.
//
// No widgets here: the MFP dialog and quorvelctl share these operations and show the
// outcome's message themselves.
#include "mfp/mfpparams.h"

#include <cstdint>
#include <string>
#include <string_view>

// A real file is some 400 bytes; anything beyond this is not one.
inline constexpr size_t kMfpFileSizeLimit = 64 * 1024;

// The file's whole content for `set`.
std::string FormatMfpFile(const MfpParameterSet &set);

// Reads the field that starts at `pos` in `line` (a line without its line end): the text
// up to the next comma or the end of the line, converted by ReadDecimal (platform/textlines.h:
// leading white space skipped, an optional sign, digits up to the first other character; no
// digits give 0), held at the 32-bit limits. `pos` moves past the comma, or stays at the end
// of the line, where every further field reads 0.
int32_t ReadCsvField(std::string_view line, size_t &pos);

// Reads a file's content over `set`. False when the first line fails the header test;
// `set` is then unchanged.
bool ParseMfpFile(std::string_view content, MfpParameterSet &set);

enum class MfpSaveOutcome { Saved, CannotCreate };
enum class MfpLoadOutcome { Loaded, CannotOpen, WrongKind };

// Writes the file as a whole: the content goes to a file beside `path` that then replaces
// it, so a failed save leaves any previous file as it was. The caller asks before
// overwriting.
MfpSaveOutcome SaveMfpFile(const std::string &path, const MfpParameterSet &set);

// Reads the file at `path` over `set` (see ParseMfpFile). Only a regular file of at most
// kMfpFileSizeLimit bytes is read; anything else (a folder, a FIFO, a device, a huge file)
// cannot be opened. `set` changes only on Loaded.
MfpLoadOutcome LoadMfpFile(const std::string &path, MfpParameterSet &set);

// Whether something exists at `path` (its attributes can be read): saving asks first.
bool MfpFileExists(const std::string &path);
