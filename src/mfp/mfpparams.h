#pragma once
// The MFP parameter set: what the vendor keeps about the multifunction printer beside it.
// Ten paper entries of 11 bytes, then the second FAX line and the scan-to-e-mail charging
// method, 112 bytes in all. Every setting is the 0-based row of its list (mfptext), never
// a code or a text; a byte may hold a value beyond its list (it came from the vendor or
// from a file), which stays as it is and is sent unchanged.
#include "comm/vender.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

inline constexpr size_t kMfpPaperCount = 10;
inline constexpr size_t kMfpEntrySize = 11;
inline constexpr size_t kMfpSetSize = 112;
static_assert(kMfpPaperCount * kMfpEntrySize == kMfpPaperBlockSize);

// Row 161 of the paper-code table, "使用しない": the paper number is not in use.
inline constexpr uint8_t PAPER_CODE_NOT_USED = 161;
inline constexpr size_t kPaperCodeRows = 162;

// Byte positions within an entry.
enum MfpEntryField : size_t {
    PaperNumber = 0,
    PaperCodeIndex,
    LefSef,
    WidePaper,
    IndexPaper,
    Reserved,
    PaperType,
    PaperWeight,
    IndexTab,
    PaperColor,
    OtherSpec,
};

// One entry as a view of its 11 bytes within the set.
struct MfpPaperEntry {
    uint8_t *bytes;
    uint8_t &operator[](size_t field) const { return bytes[field]; }
    uint8_t &paperNumber() const { return bytes[PaperNumber]; }
    uint8_t &paperCodeIndex() const { return bytes[PaperCodeIndex]; }
    bool notInUse() const { return bytes[PaperCodeIndex] == PAPER_CODE_NOT_USED; }
};

struct MfpParameterSet {
    std::array<uint8_t, kMfpSetSize> bytes{};

    // The state every time the MFP dialog opens: all zero but entry k's paperNumber = k.
    static MfpParameterSet Initial();

    // Entry k (0-9): bytes 11k to 11k+10.
    MfpPaperEntry entry(size_t k) { return {bytes.data() + kMfpEntrySize * k}; }
    uint8_t entryByte(size_t k, size_t field) const { return bytes[kMfpEntrySize * k + field]; }
    uint8_t &faxLine2() { return bytes[110]; }
    uint8_t &scanCharging() { return bytes[111]; }
    uint8_t faxLine2() const { return bytes[110]; }
    uint8_t scanCharging() const { return bytes[111]; }

    // The block that one get or set of `kind` carries: kind 0 bytes 0-109, kind 1 byte
    // 110, kind 2 byte 111.
    uint8_t *block(MfpParamKind kind);
    const uint8_t *block(MfpParamKind kind) const;
    static size_t blockSize(MfpParamKind kind); // of one of the three kinds

    bool operator==(const MfpParameterSet &) const = default;
};

// The three kinds in the order a full transfer carries them.
inline constexpr MfpParamKind kMfpKindsInOrder[] = {MfpParamKind::Paper, MfpParamKind::FaxLine2,
                                                    MfpParamKind::ScanCharging};

// The paper-code item text of row `row` (CP932), e.g. "(0x*104) : A系列(ISO) - A4";
// empty for a row that does not exist.
std::string PaperCodeItemText(size_t row);

// Receives kinds 0, 1, 2 in that order into `set`, stopping at the first failure; the
// kinds received before it stay in `set`. A kind whose reply is short leaves its part of
// the set as it was. `beforePart`, when given, hears of each kind (its index in
// kMfpKindsInOrder) before it is carried.
using MfpPartHook = std::function<void(size_t index, MfpParamKind kind)>;
bool ReceiveMfpParameters(COrvathVender &vender, MfpParameterSet &set, const MfpPartHook &beforePart = {});
// Sends kinds 0, 1, 2 in that order, stopping at the first failure.
bool SendMfpParameters(COrvathVender &vender, const MfpParameterSet &set, const MfpPartHook &beforePart = {});
