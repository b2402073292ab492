// The simulator's request handling: it is a network peer too, and must hold against any
// bytes a client sends.
//
// Input: one byte that chooses how the bytes are cut into pieces (as they may arrive on a
// connection), then the bytes a client sends.
// Properties:
//  - every byte it sends back is part of a well-formed reply frame (TYPE 0x90), one reply
//    per request frame at most;
//  - the replies do not depend on how the bytes were cut: fed whole and fed in pieces, two
//    simulators give replies of the same commands, statuses and lengths (the data of a
//    clock reading may differ when a second passes in between).
#include "frameoracle.h"
#include "fuzzcheck.h"

#include "vendorsim/vendorsim.h"

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Reply {
    uint8_t cmd, sta, len;
    bool operator==(const Reply &) const = default;
};

std::vector<Reply> repliesIn(const Bytes &out)
{
    std::vector<Reply> replies;
    size_t pos = 0;
    while (pos < out.size()) {
        FUZZ_CHECK(out.size() - pos >= 6, "%zu bytes left over after the replies", out.size() - pos);
        const size_t n = size_t(out[pos + 4]) + 6;
        FUZZ_CHECK(pos + n <= out.size() && isWellFormedFrame(out.data() + pos, n) && out[pos + 1] == 0x90,
                   "a reply at offset %zu is no well-formed vendor frame", pos);
        replies.push_back({out[pos + 2], out[pos + 3], out[pos + 4]});
        pos += n;
    }
    return replies;
}

vendorsim::Options quiet()
{
    vendorsim::Options o;
    o.recordRequests = false;
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    PieceCutter cut(data[0]);
    const uint8_t *bytes = data + 1;
    const size_t n = size - 1;

    vendorsim::Simulator whole(quiet());
    const Bytes out = whole.handleRequestBytes(bytes, n);
    const std::vector<Reply> replies = repliesIn(out);
    FUZZ_CHECK(replies.size() <= size_t(whole.exchanges()), "%zu replies to %d requests", replies.size(),
               whole.exchanges());

    vendorsim::Simulator pieces(quiet());
    Bytes out2;
    for (size_t pos = 0; pos < n;) {
        const size_t piece = cut.next(n - pos, 64);
        const Bytes part = pieces.handleRequestBytes(bytes + pos, piece);
        out2.insert(out2.end(), part.begin(), part.end());
        pos += piece;
    }
    FUZZ_CHECK(repliesIn(out2) == replies, "the replies depend on how the requests were cut");
    FUZZ_CHECK(pieces.deviceNumber() == whole.deviceNumber() && pieces.mfpParameters() == whole.mfpParameters() &&
                   pieces.logosReceived() == whole.logosReceived(),
               "the vendor state depends on how the requests were cut");
    return 0;
}
