#pragma once
// Texts of the communication layer: trace formats for the diagnostic ring, the messages of
// the logo transfer, and the message shown when the vendor cannot be reached.
//
// Catalogue: written in UTF-8, compiled as CP932 bytes (see textgen.cpp).

namespace commtext {

inline constexpr char kTrCheckStart[] = " >>Packet正当性チェック(%dByteについて)";
inline constexpr char kTrSoh[] = "  SOH検出(ofs=%d)";
inline constexpr char kTrBadType[] = "!! TYPE異常(ofs=%d)";
inline constexpr char kTrBadCmd[] = "!! CMD異常(ofs=%d)";
inline constexpr char kTrBadSta[] = "!! STA異常(STA=%02X)";
inline constexpr char kTrLength[] = " 総パケット長(%dbyte / dwLen=%d)";
inline constexpr char kTrBadStx[] = "!! STX異常";
inline constexpr char kTrBadEtx[] = "!! ETX異常";
inline constexpr char kTrFrameDone[] = "<<パケット確定";
inline constexpr char kTrBadBcc[] = " 破棄(BCC異常 %02X->%02X : wIdx=%d)!";
inline constexpr char kTrSendPrepare[] = "送信準備(受信タスクIDLE化)";
inline constexpr char kTrSendStart[] = "送信開始(%dbyte)";
inline constexpr char kTrStaleDropped[] = "  残留データ破棄(%dbyte)";
inline constexpr char kTrSendFailed[] = "!! 送信失敗";
inline constexpr char kTrNoReply[] = "!! 応答待ちタイムアウト(%dbyte受信済)";
inline constexpr char kTrReceiveFailed[] = "!! 受信失敗";
inline constexpr char kTrPeerClosed[] = "!! 受信中に切断されました(%dbyte受信済)";
inline constexpr char kTrCommandStart[] = ">>PACKET COMMAND START --------";
inline constexpr char kTrInitFailed[] = "sendPacket():Packet初期化異常!";
inline constexpr char kTrContinue[] = "  継続データあり 累積(%d)";
inline constexpr char kTrComplete[] = "  →データ受信完了 累積(%d)";
inline constexpr char kTrReplyStatus[] = "!! 応答ステータス異常(STA=%02X)";
inline constexpr char kTrReplyOverflow[] = "!! 受信データ領域超過(%d+%d>%d)";
inline constexpr char kTrCancelled[] = "!! 通信中止";
inline constexpr char kTrBadPrinterType[] = "!! プリンタ種別異常(%d)";
inline constexpr char kMsgLogoFileUnreadable[] = "ロゴデータファイルが読み込めません";
inline constexpr char kMsgLogoFileSize[] = "データファイルサイズが異常です";

// OpenVender, when the connection cannot be opened.
inline constexpr char kMsgNoConnection[] = "通信できません。\n環境を確認してください。";

} // namespace commtext
