#pragma once
// Texts of the MFP parameters: the code tables from which every setting is chosen, the
// texts of the MFP settings dialog and of its file. Each setting is stored as the row's
// position in its list, so the order of the rows is part of the data format.
//
// Catalogue: written in UTF-8, compiled as CP932 bytes (see textgen.cpp).
#include <cstdint>

namespace mfptext {

// One row of the paper-code table: the 16-bit paper code, the row of kPaperSeriesNames,
// the size name.
struct PaperCodeRow {
    uint16_t code;
    uint8_t series;
    const char *sizeName;
};

inline constexpr const char *kPaperSeriesNames[] = {
    "A系列(ISO)",  "B系列(JIS-B)", "B系列(ISO)",   "C系列(ISO)",    "Metric定型外", "インチ系", "8開/16開",
    "SRA/RA Size", "封筒(国内)",   "封筒<ISO269>", "封筒系ISO以外", "便箋",         "PostCard", "その他",
};

// The "×" in the names is the multiplication sign; "x" in the North American envelope
// names is the plain letter. The ISO and JIS B series share their size names and differ
// in code; "C6(=Letter)" stands at two rows. The code gaps are as the MFP has them.
inline constexpr PaperCodeRow kPaperCodeTable[] = {
    // 0-10: A series (ISO)
    {0x100, 0, "A0"}, {0x101, 0, "A1"}, {0x102, 0, "A2"}, {0x103, 0, "A3"}, {0x104, 0, "A4"}, {0x105, 0, "A5"},
    {0x106, 0, "A6(148.5×210)"}, {0x107, 0, "A7"}, {0x108, 0, "A8"}, {0x109, 0, "A9"}, {0x10A, 0, "A10"},
    // 11-21: B series (JIS)
    {0x200, 1, "B0"}, {0x201, 1, "B1"}, {0x202, 1, "B2"}, {0x203, 1, "B3"}, {0x204, 1, "B4"}, {0x205, 1, "B5"},
    {0x206, 1, "B6"}, {0x207, 1, "B7"}, {0x208, 1, "B8"}, {0x209, 1, "B9"}, {0x20A, 1, "B10"},
    // 22-32: B series (ISO)
    {0x300, 2, "B0"}, {0x301, 2, "B1"}, {0x302, 2, "B2"}, {0x303, 2, "B3"}, {0x304, 2, "B4"}, {0x305, 2, "B5"},
    {0x306, 2, "B6"}, {0x307, 2, "B7"}, {0x308, 2, "B8"}, {0x309, 2, "B9"}, {0x30A, 2, "B10"},
    // 33-39: C series (ISO)
    {0x400, 3, "C0"}, {0x401, 3, "C1"}, {0x402, 3, "C2"}, {0x403, 3, "C3"}, {0x404, 3, "C4"}, {0x405, 3, "C5"},
    {0x406, 3, "C6(=Letter)"},
    // 40-46: metric sizes outside the series
    {0x501, 4, "211×330"}, {0x502, 4, "215×330"}, {0x503, 4, "215×356"}, {0x505, 4, "220×330"},
    {0x507, 4, "223×297"}, {0x508, 4, "226×297"}, {0x550, 4, "297mm×17inch"},
    // 47-72: inch sizes
    {0x601, 5, "22×34"}, {0x602, 5, "17×22"}, {0x603, 5, "13×19"}, {0x604, 5, "12×18"}, {0x605, 5, "11×17"},
    {0x606, 5, "11×15"}, {0x607, 5, "11×14"}, {0x608, 5, "10_1/8×14"}, {0x609, 5, "10×14"},
    {0x60A, 5, "9_1/4×14"}, {0x60B, 5, "8_1/2×14"}, {0x60C, 5, "8_1/2×13_1/2"}, {0x60D, 5, "8_1/2×13"},
    {0x60E, 5, "8_1/2×12"}, {0x60F, 5, "8_1/2×11"}, {0x610, 5, "8_1/2×10"}, {0x611, 5, "8_1/4×13"},
    {0x612, 5, "8_1/8×13_1/4"}, {0x613, 5, "8+1/4×11+3/4"}, {0x614, 5, "8×13"}, {0x615, 5, "8×10_1/2"},
    {0x616, 5, "8×10"}, {0x617, 5, "7_1/4×10_1/2"}, {0x618, 5, "5_1/2×8_1/2"}, {0x619, 5, "5×8"},
    {0x61A, 5, "Exec-JIS"},
    // 73-76: 8K / 16K
    {0x801, 6, "8開(267×390mm)"}, {0x802, 6, "16開(195×267mm)"}, {0x803, 6, "8開(270×390mm)"},
    {0x804, 6, "16開(195×270mm)"},
    // 77-86: SRA / RA
    {0x900, 7, "RA0"}, {0x901, 7, "RA1"}, {0x902, 7, "RA2"}, {0x903, 7, "RA3"}, {0x904, 7, "RA4"},
    {0x910, 7, "SRA0"}, {0x911, 7, "SRA1"}, {0x912, 7, "SRA2"}, {0x913, 7, "SRA3"}, {0x914, 7, "SRA4"},
    // 87-103: envelopes (domestic)
    {0xA01, 8, "長形2号"}, {0xA02, 8, "長形3号"}, {0xA03, 8, "長形40号"}, {0xA04, 8, "長形4号"},
    {0xA11, 8, "角形0号"}, {0xA12, 8, "角形2号"}, {0xA13, 8, "角形20号(=C4)"}, {0xA14, 8, "角形3号"},
    {0xA15, 8, "角形4号"}, {0xA16, 8, "角形5号"}, {0xA17, 8, "角形6号(=C5)"}, {0xA18, 8, "角形7号"},
    {0xA19, 8, "角形8号"}, {0xA20, 8, "洋形1号"}, {0xA21, 8, "洋形2号(=C6)"}, {0xA22, 8, "洋形4号"},
    {0xA23, 8, "洋形6号"},
    // 104-113: envelopes (ISO 269)
    {0xB01, 9, "C3(=C3)"}, {0xB02, 9, "B4(=B4)"}, {0xB03, 9, "C4(=C4)"}, {0xB04, 9, "B5(=B5)"},
    {0xB05, 9, "C5(=C5)"}, {0xB06, 9, "B6/C4"}, {0xB07, 9, "B6(=B6)"}, {0xB08, 9, "C5/6"},
    {0xB09, 9, "C6(=Letter)"}, {0xB0A, 9, "designated long size (DL)"},
    // 114-138: other envelopes
    {0xC01, 10, "Monarch Envelope"}, {0xC02, 10, "Commercial #10"}, {0xC03, 10, "#7 3/4 Monarch"},
    {0xC04, 10, "Italy envelope size"}, {0xC05, 10, "#5 1/2 Barnoial"}, {0xC06, 10, "A2 Announcement"},
    {0xC07, 10, "A6 Announcement"}, {0xC11, 10, "10x15 North American envelope size"},
    {0xC12, 10, "10x14 North American envelope size"}, {0xC13, 10, "10x13 North American envelope size"},
    {0xC14, 10, "9x12 North American envelope size"}, {0xC15, 10, "9x11 North American envelope size"},
    {0xC16, 10, "7x9 North American envelope size"}, {0xC17, 10, "6x9 North American envelope size"},
    {0xC21, 10, "North America Number 14 business envelope"},
    {0xC22, 10, "North America Number 12 business envelope"},
    {0xC23, 10, "North America Number 11 business envelope"},
    {0xC24, 10, "North America Number 10 business envelope"},
    {0xC25, 10, "North America Number 9 business envelope "}, // with its trailing blank
    {0xC31, 10, "Personal envelope"}, {0xC41, 10, "9×11"}, {0xC42, 10, "9.125×11"}, {0xC43, 10, "9.5×11"},
    {0xC44, 10, "9×13"}, {0xC45, 10, "9.25×11"},
    // 139-144: letter paper
    {0xD01, 11, "A4判(=A4)"}, {0xD02, 11, "B5判(=B5)"}, {0xD03, 11, "国際判"}, {0xD04, 11, "セミB5判"},
    {0xD05, 11, "色紙判"}, {0xD06, 11, "A5判(=A5)"},
    // 145-160: postcards
    {0xE01, 12, "4面はがき"}, {0xE02, 12, "Japanese Double Postcard"}, {0xE03, 12, "Japanese Postcard"},
    {0xE10, 12, "6×9 Postcard"}, {0xE11, 12, "5×8 Postcard"}, {0xE12, 12, "4×6 Postcard"},
    {0xE13, 12, "3×5 Postcard"}, {0xE14, 12, "2+1/4×3/14"}, {0xE21, 12, "US Postcard"},
    {0xE31, 12, "European Post Card(=A6)"}, {0xE51, 12, "写真Lサイズ"}, {0xE52, 12, "写真Eサイズ"},
    {0xE53, 12, "写真DSCサイズ"}, {0xE61, 12, "13×18cm"}, {0xE62, 12, "10×15cm"}, {0xE63, 12, "9×13cm"},
    // 161: the paper number is not in use
    {0xFFF, 13, "使用しない"},
};

// The paper-code item text: code, series name, size name. The "*" is a literal character.
inline constexpr char kPaperCodeItemFormat[] = "(0x*%03X) : %s - %s";

inline constexpr const char *kPaperTypeNames[] = {
    "普通紙",         "再生紙1",     "再生紙2",     "上質紙1",    "上質紙2",     "はがき",       "封筒",
    "OHP",            "ラベル紙",    "第2原図",     "原紙1",      "原紙2",       "塗工紙1",      "塗工紙2",
    "書籍用紙",       "ラフ紙",      "未印字挿入紙", "ユーザー紙1", "ユーザー紙2", "ユーザー紙3", "レターヘッド紙",
    "特殊紙1",        "特殊紙2",     "両面不可紙1", "両面不可紙2", "指定しない",
};

inline constexpr const char *kPaperWeightNames[] = {
    "普通", "薄紙1", "薄紙2", "薄紙3", "薄紙4", "薄紙5", "厚紙1", "厚紙2", "厚紙3", "厚紙4", "厚紙5", "厚紙6", "その他",
};

inline constexpr const char *kIndexTabNames[] = {
    "インデックスなし", "インデックス1",  "インデックス2",  "インデックス3",  "インデックス4",  "インデックス5",
    "インデックス6",    "インデックス7",  "インデックス8",  "インデックス9",  "インデックス10", "インデックス11",
    "インデックス12",   "インデックス13", "インデックス14", "インデックス15", "その他",
};

inline constexpr const char *kPaperColorNames[] = {
    "指定なし", "白", "透明", "黄色", "ピンク", "青", "みどり", "その他",
};

inline constexpr const char *kOtherSpecNames[] = {"通常", "両面2面目設定", "穴あき紙", "指定しない"};

// The two-row lists, row 0 first. The dialog's lists take these items from its template
// (res/dialogs/146.json, checked against these by the dialog's tests); the command line
// shows them from here.
inline constexpr const char *kLefSefNames[] = {"LEF", "SEF"};
inline constexpr const char *kWidePaperNames[] = {"非ワイド", "ワイド"};
inline constexpr const char *kIndexPaperNames[] = {"非インデックス", "インデックス"};
inline constexpr const char *kReservedNames[] = {"0", "1"};
inline constexpr const char *kFaxLine2Names[] = {"使用しない", "使用する"};
inline constexpr const char *kScanChargingNames[] = {"宛先ごとに課金", "SMTPサーバーへのデータ送信回数ごとに課金"};

// --- The MFP settings dialog -----------------------------------------------------------

// Tree items and panel titles.
inline constexpr char kTreePaperRoot[] = "用紙情報設定";
inline constexpr char kTreePaperItemFormat[] = "用紙%d"; // paper number + 1
inline constexpr char kTreeFaxLine2[] = "FAX２回線目使用設定";
inline constexpr char kTreeScanCharging[] = "スキャン送信課金方式設定";
inline constexpr char kTitlePaperFormat[] = "用紙設定 - 用紙 < %d >"; // paperNumber + 1
inline constexpr char kTitleNoPaper[] = "用紙設定 - 用紙№を選択してください";

// Receive and send.
inline constexpr char kMsgReceived[] = "ベンダー保持ＭＰＦパラメータを取得しました。";
inline constexpr char kMsgSent[] = "ベンダーにＭＰＦパラメータを設定しました。";
inline constexpr char kTitleReceive[] = "ＭＰＦパラメータの取得"; // for the failure report
inline constexpr char kTitleSend[] = "ＭＰＦパラメータの設定";

// --- The MFP parameter file --------------------------------------------------------------

inline constexpr char kFileKeyword[] = "MFPconfig";
inline constexpr char kFileDefaultName[] = "MFPconfig.csv";
inline constexpr char kFileExtension[] = "csv";
inline constexpr char kFileFilter[] = "MFPファイル形式 (*.csv)|*.csv||";
inline constexpr char kMsgLoaded[] = "ファイルを読み込みました。";

// Captions of the progress window of "受信" and "送信".
inline constexpr char kProgressReceiving[] = "受信中";
inline constexpr char kProgressSending[] = "送信中";

} // namespace mfptext
