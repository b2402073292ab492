// The simulator's request handling without a socket (what the fuzz harness drives).
#include "comm/frame.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

using namespace testutil;

namespace {

// A request frame with the block control byte given (no data part when data is empty).
Bytes request(uint8_t cmd, const Bytes &data, uint8_t control)
{
    Bytes f{frame::SOH, frame::TypeRequest, cmd, 0, 0};
    if (!data.empty()) {
        f[frame::OfsLen] = uint8_t(data.size() + 3);
        f.push_back(frame::STX);
        f.push_back(control);
        f.insert(f.end(), data.begin(), data.end());
        f.push_back(frame::ETX);
    }
    return withBcc(f);
}

vendorsim::Options quiet()
{
    vendorsim::Options o;
    o.recordRequests = false;
    return o;
}

} // namespace

TEST(SimulatorRequests, RequestsCutAnywhereGetTheSameReplies)
{
    const Bytes number = request(0x04, {'A', 'B', 'C', ' ', ' ', ' '}, 0x50);
    const Bytes read = request(0x03, {}, 0);
    Bytes both = number;
    both.insert(both.end(), read.begin(), read.end());

    vendorsim::Simulator whole(quiet());
    const Bytes out = whole.handleRequestBytes(both.data(), both.size());
    EXPECT_EQ(out, hex("01 90 04 00 00 95 01 90 03 00 09 02 50 41 42 43 20 20 20 03 AA"));

    vendorsim::Simulator bytewise(quiet());
    Bytes out2;
    for (uint8_t b : both) {
        const Bytes part = bytewise.handleRequestBytes(&b, 1);
        out2.insert(out2.end(), part.begin(), part.end());
    }
    EXPECT_EQ(out2, out);
}

// A client that keeps sending "more follows" blocks is refused once the command's data
// would pass 65535 bytes, instead of growing the simulator without end; the session goes on.
TEST(SimulatorRequests, ACommandThatNeverEndsIsRefusedAtItsSizeLimit)
{
    vendorsim::Simulator sim(quiet());
    const Bytes block(252, 0x55);
    int refused = 0, accepted = 0;
    for (int i = 0; i < 300; ++i) {
        const Bytes f = request(0x15, block, uint8_t((i == 0 ? 0x30 : 0x20) | (i & 0x0F)));
        const Bytes out = sim.handleRequestBytes(f.data(), f.size());
        ASSERT_EQ(out.size(), 6u);
        (out[frame::OfsSta] == 0 ? accepted : refused) += 1;
        if (out[frame::OfsSta] != 0)
            break;
    }
    EXPECT_EQ(accepted, 65535 / 252); // 260 blocks fit, the 261st would not
    EXPECT_EQ(refused, 1);
    const Bytes read = request(0x03, {}, 0);
    const Bytes out = sim.handleRequestBytes(read.data(), read.size());
    EXPECT_EQ(out, hex("01 90 03 00 09 02 50 20 20 20 20 20 20 03 CA"));
}
