// The reply-frame checker fed an arbitrary byte stream.
//
// Input: one byte that chooses how the stream is cut into calls, then the stream.
// Properties:
//  - whenever the checker reports a frame complete, the bytes it recognised are a frame
//    whose length is LEN + 6, with STX and ETX in place and the right check byte, and they
//    are the bytes of the stream that end where it stopped;
//  - the verdict does not depend on how the stream is cut into calls: one call over the
//    whole stream, one call per byte and calls of random lengths find the same first frame;
//  - nothing is read or written outside the buffers (AddressSanitizer), and the write
//    index never passes the frame buffer.
#include "frameoracle.h"
#include "fuzzcheck.h"

#include "comm/frame.h"

#include <cstring>
#include <vector>

namespace {

// One call over bytes[0, n) after a reset.
bool completesWithin(const uint8_t *bytes, size_t n, FrameChecker &c)
{
    TraceLog log;
    ResetChecker(c);
    return CheckReplyFrame(c, log, bytes, n);
}

// The number of bytes up to and including the one that completes the first frame, or 0.
size_t firstFrameEnd(const uint8_t *bytes, size_t n)
{
    FrameChecker c;
    if (!completesWithin(bytes, n, c))
        return 0;
    // A longer prefix completes whenever a shorter one does: the smallest is the end.
    size_t lo = 1, hi = n;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (completesWithin(bytes, mid, c))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

void checkRecognised(const FrameChecker &c, const uint8_t *stream, size_t end)
{
    FUZZ_CHECK(c.writeIndex <= frame::BufferSize - 1, "write index %zu", c.writeIndex);
    const size_t n = c.writeIndex;
    FUZZ_CHECK(isWellFormedFrame(c.frame, n), "a %zu-byte frame with LEN %u reported complete", n,
               unsigned(c.frame[frame::OfsLen]));
    FUZZ_CHECK(n <= end && std::memcmp(c.frame, stream + end - n, n) == 0,
               "the recognised frame is not the %zu bytes before offset %zu", n, end);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    PieceCutter cut(data[0]);
    const uint8_t *stream = data + 1;
    const size_t n = size - 1;

    // One call over the whole stream, as an exchange makes it.
    const size_t end = firstFrameEnd(stream, n);
    if (end) {
        FrameChecker c;
        completesWithin(stream, end, c);
        checkRecognised(c, stream, end);
    }

    // One byte per call: every frame the stream holds, each checked where it ends.
    {
        TraceLog log;
        FrameChecker c;
        ResetChecker(c);
        size_t firstSeen = 0;
        for (size_t i = 0; i < n; ++i) {
            if (CheckReplyFrame(c, log, stream + i, 1)) {
                checkRecognised(c, stream, i + 1);
                if (!firstSeen)
                    firstSeen = i + 1;
                ResetChecker(c);
            }
            FUZZ_CHECK(c.bufferLength == 0, "buffer length left at %zu", c.bufferLength);
        }
        FUZZ_CHECK(firstSeen == end, "byte by byte the first frame ends at %zu, in one call at %zu", firstSeen,
                   end);
    }

    // Calls of random lengths until the first frame.
    {
        TraceLog log;
        FrameChecker c;
        ResetChecker(c);
        size_t pos = 0;
        while (pos < n) {
            const size_t piece = cut.next(n - pos, 300);
            const bool done = CheckReplyFrame(c, log, stream + pos, piece);
            const bool endInside = end > pos && end <= pos + piece;
            FUZZ_CHECK(done == endInside, "a call over [%zu, %zu) says %d; the first frame ends at %zu", pos,
                       pos + piece, int(done), end);
            pos += piece;
            if (done) {
                checkRecognised(c, stream, end);
                break;
            }
        }
    }
    return 0;
}
