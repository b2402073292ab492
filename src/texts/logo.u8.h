#pragma once
// Messages of the receipt logo: its files and its transfer to the vendor.
//
// Catalogue: written in UTF-8, compiled as CP932 bytes (see textgen.cpp).

namespace logotext {

// The face every new text layer starts with.
inline constexpr char kDefaultFaceName[] = "ＭＳ 明朝";

// Information icon: a layout file was read.
inline constexpr char kMsgLayoutLoaded[] = "ファイルを読込みました。";
// Exclamation icon: the work file could not be written or read.
inline constexpr char kMsgWorkFileUnusable[] = "作業ファイルが開けません";
// The outcome of sending the logo.
inline constexpr char kMsgLogoSent[] = "領収書店名イメージを送信しました";
inline constexpr char kMsgLogoSendFailed[] = "送信失敗しました \n環境を確認してください。";

// The logo dialog and its preview.
inline constexpr char kNoBackground[] = "( なし )";
inline constexpr char kLayoutFileFilter[] = "店名ロゴファイル形式 (*.slp)|*.slp||";
inline constexpr char kPictureFileFilter[] = "イメージファイル (*.bmp)|*.bmp||";
inline constexpr char kCanvasTitle[] = "印刷イメージ";
// Exclamation icon: typed or pasted text holds a character the code page cannot hold
// (%1: its code point in hexadecimal).
inline constexpr char kMsgCharacterNotCp932[] = "Shift-JIS で表せない文字 (U+%1) は使えません。\n入力を取り消しました。";
// Exclamation icon: a chosen picture's file name cannot be written into a layout.
inline constexpr char kMsgFileNameNotCp932[] = "ファイル名に Shift-JIS で表せない文字があるため、この画像は使えません。\nファイル名を変えてから選んでください。";

// Caption of the progress window while the logo goes to the vendor.
inline constexpr char kProgressSendingLogo[] = "送信中";

} // namespace logotext
