#pragma once
// Reading the text files the operator keeps (the layout file, the MFP parameter file) line
// by line, recognising a file by the keyword of its first line, and reading the numbers of
// its fields.
#include <cstddef>
#include <cstdint>
#include <string_view>

// Takes the next line (without its LF, and without the CR before that LF) off `content`,
// as a text file read line by line gives it. False when `content` is used up.
bool nextLine(std::string_view &content, std::string_view &line);

// True when `line` starts with `keyword` (byte for byte, letter case included) followed by
// the end of the line, a blank or a comma. On false the caller shows WrongFileMessage().
bool MatchKeyword(std::string_view line, std::string_view keyword);

// The decimal number at the front of `text`, read as the C library's conversion reads it:
// white space (blank, tab, LF, VT, FF, CR) first, then an optional sign, then the digits up
// to the first other byte. No digits: 0. Values beyond the 32-bit range are held at its
// limits. When `end` is given it is set to the offset just past the last digit read (0 when
// there is none).
int32_t ReadDecimal(std::string_view text, size_t *end = nullptr);
