#pragma once
// Texts of the clock and device-number dialog, and the failure report that the vendor
// dialogs share.
//
// Catalogue: written in UTF-8, compiled as CP932 bytes (see textgen.cpp).

namespace clocktext {

// The failure report: "%s" receives the operation's title.
inline constexpr char kFailureTemplate[] = "%sに失敗しました。\nベンダーとの通信を確認してください。";

// The clock display while the vendor does not answer.
inline constexpr char kCommError[] = ">> 通信異常です <<";

inline constexpr char kMsgClockSet[] = "時刻情報を設定しました";
inline constexpr char kMsgNumberSet[] = "装置番号を設定しました";
inline constexpr char kMsgNotAscii[] = "半角英数文字以外は使用できません";
// Operation titles for the failure report.
inline constexpr char kTitleSetClock[] = "時刻情報の設定";
inline constexpr char kTitleSetNumber[] = "装置番号の設定";

// A list of the edited time without a selection: kMsgNotSelectedBefore, the list's name,
// kMsgNotSelectedAfter.
inline constexpr char kMsgNotSelectedBefore[] = "編集時刻の";
inline constexpr char kMsgNotSelectedAfter[] = "が選択されていません。\n選択してから設定してください。";
inline constexpr char kFieldYear[] = "年";
inline constexpr char kFieldMonth[] = "月";
inline constexpr char kFieldDay[] = "日";
inline constexpr char kFieldHour[] = "時";
inline constexpr char kFieldMinute[] = "分";
// Follows the picked date (YYYY/MM/DD) when that date does not exist.
inline constexpr char kMsgNoSuchDate[] = " は存在しない日付です。\n編集時刻の日付を確認してください。";

// The progress window of a transfer that takes time. Its caption is the operation's
// ("送信中", "受信中"); the lines say which part is carried ("%1": the part, "%2": how
// many parts) and how far it has come ("%1" blocks of "%2" in attempt "%3" of "%4").
inline constexpr char kProgressSending[] = "送信中";
inline constexpr char kProgressReceiving[] = "受信中";
inline constexpr char kProgressPart[] = "%1 / %2：%3";
inline constexpr char kProgressBlocks[] = "%1 / %2 ブロック（%3 / %4 回目）";
inline constexpr char kProgressCancel[] = "中止";
inline constexpr char kProgressCancelling[] = "中止しています…";

} // namespace clocktext
