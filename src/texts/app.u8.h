#pragma once
// Texts of the application shell: the vendor address dialog and its window-menu entry.
//
// Catalogue: written in UTF-8, compiled as CP932 bytes (see textgen.cpp).

namespace apptext {

// The main window's menu entry that opens the vendor address dialog.
inline constexpr char kMenuVenderAddress[] = "接続先設定...";

// Refused input (exclamation icon); the dialog stays open on the field at fault.
inline constexpr char kMsgBadAddress[] =
    "アドレスが正しくありません。\n"
    "数字の IPv4 アドレス (例 192.168.1.10) か IPv6 アドレスを入力してください。";
inline constexpr char kMsgBadPort[] =
    "ポート番号が正しくありません。\n"
    "1 から 65535 までの数字を入力してください。";
// OK could not write the settings file; the new address is used until the program ends.
inline constexpr char kMsgSaveFailed[] =
    "接続先を設定ファイルに保存できませんでした。\n"
    "新しい接続先は、今回プログラムを終了するまで使われます。";

// The connection test's result box. kTestTarget receives the address and the port.
inline constexpr char kTestRunning[] = "接続中...";
inline constexpr char kTestTarget[] = "接続先：%s  ポート：%u";
inline constexpr char kTestConnected[] = "接続できました。";
inline constexpr char kTestNoConnection[] = "通信できません。\n接続先に接続できませんでした。環境を確認してください。";
inline constexpr char kTestClock[] = "装置時計：%s";
inline constexpr char kTestNumber[] = "装置番号：%s";
inline constexpr char kTestNumberUnset[] = "(未設定)";
// A device number with bytes that are no printable ASCII: kTestNumberBytes and their hex values.
inline constexpr char kTestNumberBytes[] = "16進 ";
inline constexpr char kTestClockFailed[] = "通信できません：装置時計を読めませんでした。";
inline constexpr char kTestNumberFailed[] = "通信できません：装置番号を読めませんでした。";

} // namespace apptext
