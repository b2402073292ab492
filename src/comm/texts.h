#pragma once
// Texts of the communication layer, held as Japanese code page (CP932) bytes: trace
// formats for the diagnostic ring and the messages of the logo transfer. Each literal
// carries its UTF-8 form in the comment above it.

namespace commtext {

// " >>Packet正当性チェック(%dByteについて)" (39 bytes)
inline constexpr char kTrCheckStart[] = " >>Packet\x90\xB3\x93\x96\x90\xAB\x83`\x83" "F\x83" "b\x83N(%dByte\x82\xC9\x82\xC2\x82\xA2\x82\xC4)";
// "  SOH検出(ofs=%d)" (17 bytes)
inline constexpr char kTrSoh[] = "  SOH\x8C\x9F\x8Fo(ofs=%d)";
// "!! TYPE異常(ofs=%d)" (19 bytes)
inline constexpr char kTrBadType[] = "!! TYPE\x88\xD9\x8F\xED(ofs=%d)";
// "!! CMD異常(ofs=%d)" (18 bytes)
inline constexpr char kTrBadCmd[] = "!! CMD\x88\xD9\x8F\xED(ofs=%d)";
// "!! STA異常(STA=%02X)" (20 bytes)
inline constexpr char kTrBadSta[] = "!! STA\x88\xD9\x8F\xED(STA=%02X)";
// " 総パケット長(%dbyte / dwLen=%d)" (32 bytes)
inline constexpr char kTrLength[] = " \x91\x8D\x83p\x83P\x83" "b\x83g\x92\xB7(%dbyte / dwLen=%d)";
// "!! STX異常" (10 bytes)
inline constexpr char kTrBadStx[] = "!! STX\x88\xD9\x8F\xED";
// "!! ETX異常" (10 bytes)
inline constexpr char kTrBadEtx[] = "!! ETX\x88\xD9\x8F\xED";
// "<<パケット確定" (14 bytes)
inline constexpr char kTrFrameDone[] = "<<\x83p\x83P\x83" "b\x83g\x8Am\x92\xE8";
// " 破棄(BCC異常 %02X->%02X : wIdx=%d)!" (36 bytes)
inline constexpr char kTrBadBcc[] = " \x94j\x8A\xFC(BCC\x88\xD9\x8F\xED %02X->%02X : wIdx=%d)!";
// "送信準備(受信タスクIDLE化)" (26 bytes)
inline constexpr char kTrSendPrepare[] = "\x91\x97\x90M\x8F\x80\x94\xF5(\x8E\xF3\x90M\x83^\x83X\x83NIDLE\x89\xBB)";
// "送信開始(%dbyte)" (16 bytes)
inline constexpr char kTrSendStart[] = "\x91\x97\x90M\x8AJ\x8En(%dbyte)";
// "  残留データ破棄(%dbyte)" (24 bytes)
inline constexpr char kTrStaleDropped[] = "  \x8E" "c\x97\xAF\x83" "f\x81[\x83^\x94j\x8A\xFC(%dbyte)";
// "!! 送信失敗" (11 bytes)
inline constexpr char kTrSendFailed[] = "!! \x91\x97\x90M\x8E\xB8\x94s";
// "!! 応答待ちタイムアウト(%dbyte受信済)" (37 bytes)
inline constexpr char kTrNoReply[] = "!! \x89\x9E\x93\x9A\x91\xD2\x82\xBF\x83^\x83" "C\x83\x80\x83" "A\x83" "E\x83g(%dbyte\x8E\xF3\x90M\x8D\xCF)";
// "!! 受信失敗" (11 bytes)
inline constexpr char kTrReceiveFailed[] = "!! \x8E\xF3\x90M\x8E\xB8\x94s";
// "!! 受信中に切断されました(%dbyte受信済)" (39 bytes)
inline constexpr char kTrPeerClosed[] = "!! \x8E\xF3\x90M\x92\x86\x82\xC9\x90\xD8\x92" "f\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD(%dbyte\x8E\xF3\x90M\x8D\xCF)";
// ">>PACKET COMMAND START --------" (31 bytes)
inline constexpr char kTrCommandStart[] = ">>PACKET COMMAND START --------";
// "sendPacket():Packet初期化異常!" (30 bytes)
inline constexpr char kTrInitFailed[] = "sendPacket():Packet\x8F\x89\x8A\xFA\x89\xBB\x88\xD9\x8F\xED!";
// "  継続データあり 累積(%d)" (25 bytes)
inline constexpr char kTrContinue[] = "  \x8Cp\x91\xB1\x83" "f\x81[\x83^\x82\xA0\x82\xE8 \x97\xDD\x90\xCF(%d)";
// "  →データ受信完了 累積(%d)" (27 bytes)
inline constexpr char kTrComplete[] = "  \x81\xA8\x83" "f\x81[\x83^\x8E\xF3\x90M\x8A\xAE\x97\xB9 \x97\xDD\x90\xCF(%d)";
// "!! 応答ステータス異常(STA=%02X)" (31 bytes)
inline constexpr char kTrReplyStatus[] = "!! \x89\x9E\x93\x9A\x83X\x83" "e\x81[\x83^\x83X\x88\xD9\x8F\xED(STA=%02X)";
// "!! 受信データ領域超過(%d+%d>%d)" (31 bytes)
inline constexpr char kTrReplyOverflow[] = "!! \x8E\xF3\x90M\x83" "f\x81[\x83^\x97\xCC\x88\xE6\x92\xB4\x89\xDF(%d+%d>%d)";
// "!! プリンタ種別異常(%d)" (23 bytes)
inline constexpr char kTrBadPrinterType[] = "!! \x83v\x83\x8A\x83\x93\x83^\x8E\xED\x95\xCA\x88\xD9\x8F\xED(%d)";
// "ロゴデータファイルが読み込めません" (34 bytes)
inline constexpr char kMsgLogoFileUnreadable[] = "\x83\x8D\x83S\x83" "f\x81[\x83^\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";
// "データファイルサイズが異常です" (30 bytes)
inline constexpr char kMsgLogoFileSize[] = "\x83" "f\x81[\x83^\x83t\x83@\x83" "C\x83\x8B\x83T\x83" "C\x83Y\x82\xAA\x88\xD9\x8F\xED\x82\xC5\x82\xB7";

} // namespace commtext
