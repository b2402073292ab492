#pragma once
// Messages about the files the operator chooses, shared by the logo and MFP dialogs.
//
// Catalogue: written in UTF-8, compiled as CP932 bytes (see textgen.cpp).

namespace filetext {

// Stop icon: the first line is not what the file's kind needs.
inline constexpr char kMsgWrongFile[] = "異なるファイルです！";
// Information icon: a file was written.
inline constexpr char kMsgFileWritten[] = "ファイルを記録しました";
// Exclamation icon: a file could not be written.
inline constexpr char kMsgCannotCreateFile[] = "ファイルが作れません！";
// Stop icon: a file could not be opened for reading.
inline constexpr char kMsgCannotOpenFile[] = "ファイルが開けません！";
// Question icon, Yes and No: before a save replaces a file.
inline constexpr char kMsgOverwrite[] = "同じ名前のファイルが存在します。\n上書しますか？";

} // namespace filetext
