#include "mfp/mfpparams.h"

#include "texts/mfp.h"

#include <cstdio>
#include <iterator>

static_assert(std::size(mfptext::kPaperCodeTable) == kPaperCodeRows);
static_assert(std::size(mfptext::kPaperSeriesNames) == 14);

MfpParameterSet MfpParameterSet::Initial()
{
    MfpParameterSet set;
    for (size_t k = 0; k < kMfpPaperCount; ++k)
        set.entry(k).paperNumber() = uint8_t(k);
    return set;
}

size_t MfpParameterSet::blockSize(MfpParamKind kind)
{
    return kind == MfpParamKind::Paper ? kMfpPaperBlockSize : 1;
}

uint8_t *MfpParameterSet::block(MfpParamKind kind)
{
    return const_cast<uint8_t *>(static_cast<const MfpParameterSet *>(this)->block(kind));
}

const uint8_t *MfpParameterSet::block(MfpParamKind kind) const
{
    switch (kind) {
    case MfpParamKind::Paper:
        return bytes.data();
    case MfpParamKind::FaxLine2:
        return bytes.data() + 110;
    case MfpParamKind::ScanCharging:
        return bytes.data() + 111;
    }
    return nullptr;
}

std::string PaperCodeItemText(size_t row)
{
    if (row >= kPaperCodeRows)
        return {};
    const mfptext::PaperCodeRow &r = mfptext::kPaperCodeTable[row];
    char buf[256];
    std::snprintf(buf, sizeof buf, mfptext::kPaperCodeItemFormat, unsigned(r.code),
                  mfptext::kPaperSeriesNames[r.series], r.sizeName);
    return buf;
}

bool ReceiveMfpParameters(COrvathVender &vender, MfpParameterSet &set, const MfpPartHook &beforePart)
{
    for (size_t i = 0; i < std::size(kMfpKindsInOrder); ++i) {
        const MfpParamKind kind = kMfpKindsInOrder[i];
        if (beforePart)
            beforePart(i, kind);
        if (!vender.GetMfpParameter(kind, set.block(kind)))
            return false;
    }
    return true;
}

bool SendMfpParameters(COrvathVender &vender, const MfpParameterSet &set, const MfpPartHook &beforePart)
{
    for (size_t i = 0; i < std::size(kMfpKindsInOrder); ++i) {
        const MfpParamKind kind = kMfpKindsInOrder[i];
        if (beforePart)
            beforePart(i, kind);
        if (!vender.SetMfpParameter(kind, set.block(kind)))
            return false;
    }
    return true;
}
