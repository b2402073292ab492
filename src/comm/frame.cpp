#include "comm/frame.h"

#include "texts/comm.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

using namespace commtext;

// ---------------------------------------------------------------------------------------
// TraceLog

TraceLog::TraceLog()
{
    std::memset(m_lines, 0, sizeof m_lines);
}

void TraceLog::advance()
{
    m_index = (m_index + 1) % Lines;
    std::memset(m_lines[m_index], ' ', LineSize - 1);
    m_lines[m_index][LineSize - 1] = '\0';
}

void TraceLog::Trace(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    // vsnprintf writes at most LineSize - 1 bytes and the NUL: a longer entry is cut.
    std::vsnprintf(m_lines[m_index], LineSize, format, ap);
    va_end(ap);
    advance();
}

void TraceLog::TraceNumbered(uint16_t number, const char *format, ...)
{
    char *line = m_lines[m_index];
    std::snprintf(line, LineSize, "%04X:", unsigned(number));
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(line + 5, LineSize - 5, format, ap);
    va_end(ap);
    advance();
}

std::string TraceLog::line(int i) const
{
    const char *l = m_lines[((i % Lines) + Lines) % Lines];
    return std::string(l, strnlen(l, LineSize));
}

std::vector<std::string> TraceLog::entries() const
{
    std::vector<std::string> out;
    for (int k = 1; k < Lines; ++k) {
        const int i = (m_index + k) % Lines;
        if (m_lines[i][0] != '\0')
            out.push_back(line(i));
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Request frames

BuiltRequest BuildRequestFrame(const RequestInput &in, uint8_t *buffer)
{
    BuiltRequest out;
    const size_t remaining = in.total > in.offset ? in.total - in.offset : 0;
    out.count = std::min(remaining, frame::MaxBlockData);

    if (out.count != 0) {
        if (in.sequence == 0 && in.offset == 0 && !in.replyCollected)
            out.flags |= frame::FlagFirst;
        out.flags |= (in.offset + out.count == in.total) ? frame::FlagLast : frame::FlagMore;
    }

    std::memset(buffer, 0, frame::BufferSize);
    size_t n = 0;
    buffer[n++] = frame::SOH;
    buffer[n++] = in.type;
    buffer[n++] = in.cmd;
    buffer[n++] = in.sta;
    // A block without data still carries STX ... ETX when it asks the vendor for the
    // next reply block.
    if (out.count != 0 || (in.lastReplyFlags & frame::FlagMore)) {
        buffer[n++] = uint8_t(out.count + 3);
        buffer[n++] = frame::STX;
        buffer[n++] = uint8_t((in.sequence & 0x0F) | out.flags);
        if (out.count)
            std::memcpy(buffer + n, in.data + in.offset, out.count);
        n += out.count;
        buffer[n++] = frame::ETX;
    } else {
        buffer[n++] = 0;
    }
    uint8_t bcc = 0;
    for (size_t i = 0; i < n; ++i)
        bcc ^= buffer[i];
    buffer[n++] = bcc;
    out.length = n;
    return out;
}

// ---------------------------------------------------------------------------------------
// Reply checker

namespace {
enum CheckState {
    Idle = 0,
    WantType = 1,
    WantCmd = 2,
    WantSta = 3,
    WantLen = 4,
    WantStx = 5,
    InData = 6,
    WantBcc = 7,
    Complete = 8,
};
} // namespace

void ResetChecker(FrameChecker &checker)
{
    checker.state = Idle;
    checker.writeIndex = 0;
    std::memset(checker.frame, 0, sizeof checker.frame);
    checker.frameStart = 0;
    checker.frameLength = 0;
}

bool CheckReplyFrame(FrameChecker &c, TraceLog &log, const uint8_t *bytes, size_t length)
{
    log.Trace(kTrCheckStart, int(length));
    c.bufferLength = length;
    // The write index carries over with the state, so a frame continued from an earlier call
    // is checked together with its first bytes. It never passes LEN + 6 <= 261.
    uint8_t *acc = c.frame;
    c.frameLength = 0;

    auto store = [&](uint8_t b) { acc[c.writeIndex++] = b; };
    auto discard = [&] {
        c.writeIndex = 0;
        c.state = Idle;
    };

    for (size_t i = 0; i < length && c.state != Complete; ++i) {
        const uint8_t b = bytes[i];
        switch (c.state) {
        case Idle:
            if (b == frame::SOH) {
                log.Trace(kTrSoh, int(c.writeIndex));
                c.frameStart = i;
                store(b);
                c.state = WantType;
            }
            break;
        case WantType:
            if (b == frame::TypeRequest || b == frame::TypeReply) {
                store(b);
                c.state = WantCmd;
            } else {
                log.Trace(kTrBadType, int(c.writeIndex));
                discard();
            }
            break;
        case WantCmd:
            if (b < 0x30) {
                store(b);
                c.state = WantSta;
            } else {
                log.Trace(kTrBadCmd, int(c.writeIndex));
                discard();
            }
            break;
        case WantSta:
            if ((b & 0xF0) == 0) {
                store(b);
                c.state = WantLen;
            } else {
                log.Trace(kTrBadSta, unsigned(b));
                discard();
            }
            break;
        case WantLen:
            store(b);
            c.len = b;
            log.Trace(kTrLength, int(b) + 5, int(c.writeIndex));
            if (b == 1) {
                // The ETX test would fall on the byte after STX and the frame would run
                // past LEN + 6 bytes: no such frame is valid.
                log.Trace(kTrBadEtx);
                discard();
                break;
            }
            c.state = b == 0 ? WantBcc : WantStx;
            break;
        case WantStx:
            if (b == frame::STX) {
                store(b);
                c.state = InData;
            } else {
                log.Trace(kTrBadStx);
                discard();
            }
            break;
        case InData:
            store(b);
            if (c.writeIndex > size_t(c.len) + 4) {
                if (b == frame::ETX) {
                    c.state = WantBcc;
                } else {
                    log.Trace(kTrBadEtx);
                    discard();
                }
            }
            break;
        case WantBcc: {
            uint8_t x = 0;
            for (size_t k = 0; k < c.writeIndex; ++k)
                x ^= acc[k];
            if (b == x) {
                store(b);
                c.state = Complete;
                c.frameLength = c.writeIndex;
                log.Trace(kTrFrameDone);
            } else {
                const uint8_t held = acc[c.writeIndex];
                const size_t covered = c.writeIndex;
                discard();
                log.Trace(kTrBadBcc, unsigned(held), unsigned(x), int(covered));
            }
            break;
        }
        default:
            break;
        }
    }
    c.bufferLength = 0;
    return c.state == Complete;
}
