#pragma once
// Reading the text files the operator keeps (the layout file, the MFP parameter file) line
// by line, and recognising a file by the keyword of its first line.
#include <string_view>

// Takes the next line (without its LF, and without the CR before that LF) off `content`,
// as a text file read line by line gives it. False when `content` is used up.
bool nextLine(std::string_view &content, std::string_view &line);

// True when `line` starts with `keyword` (byte for byte, letter case included) followed by
// the end of the line, a blank or a comma. On false the caller shows WrongFileMessage().
bool MatchKeyword(std::string_view line, std::string_view keyword);
