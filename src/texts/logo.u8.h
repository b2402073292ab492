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

} // namespace logotext
