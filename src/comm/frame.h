#pragma once
// The vendor protocol's frame and the diagnostic trace ring.
//
// A frame is SOH, TYPE, CMD, STA, LEN, then (when LEN is not 0) STX, the block control
// byte, LEN - 3 data bytes and ETX, and finally BCC, the XOR of every byte before it.
// The PC sends TYPE 0x01, the vendor answers with TYPE 0x90. Every request carries at most
// 252 data bytes, so a frame is never longer than 261 bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace frame {
inline constexpr uint8_t SOH = 0x01;
inline constexpr uint8_t STX = 0x02;
inline constexpr uint8_t ETX = 0x03;
inline constexpr uint8_t TypeRequest = 0x01;
inline constexpr uint8_t TypeReply = 0x90;

// Block flags, the high nibble of the block control byte.
inline constexpr uint8_t FlagFirst = 0x10;
inline constexpr uint8_t FlagMore = 0x20;
inline constexpr uint8_t FlagLast = 0x40;

inline constexpr size_t MaxBlockData = 252;
inline constexpr size_t BufferSize = 262; // request and reply buffers

// Field offsets within a frame.
inline constexpr size_t OfsType = 1, OfsCmd = 2, OfsSta = 3, OfsLen = 4, OfsStx = 5, OfsBlockControl = 6,
                        OfsData = 7;
} // namespace frame

// In-memory ring of 100 diagnostic lines of 80 bytes. Each entry is written into the
// current line, then the next line becomes current and is blanked (79 spaces), so the
// line after the newest entry is always blank and the oldest is overwritten after 100.
class TraceLog {
public:
    static constexpr int Lines = 100;
    static constexpr int LineSize = 80;

    TraceLog();

    // printf-style entry. Text beyond 79 bytes is cut off; nothing is written outside
    // the line.
    void Trace(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Entry prefixed with the number as four upper-case hexadecimal digits and a colon.
    void TraceNumbered(uint16_t number, const char *format, ...) __attribute__((format(printf, 3, 4)));

    int index() const { return m_index; }
    // Raw line i (0-99), up to its terminating NUL.
    std::string line(int i) const;
    // Lines that hold an entry, oldest first (the blank current line and lines never
    // written are left out).
    std::vector<std::string> entries() const;

private:
    void advance();

    char m_lines[Lines][LineSize];
    int m_index = 0;
};

// What the builder needs to know about the command being sent.
struct RequestInput {
    uint8_t type = frame::TypeRequest;
    uint8_t cmd = 0;
    uint8_t sta = 0;
    uint8_t sequence = 0; // 0-15
    const uint8_t *data = nullptr; // the command's whole data, may be null when total is 0
    size_t total = 0; // 0-65535
    size_t offset = 0; // first byte not yet sent
    bool replyCollected = false; // reply data have been collected for this command
    uint8_t lastReplyFlags = 0; // block flags of the last reply (high-nibble value)
};

struct BuiltRequest {
    size_t length = 0; // bytes of the frame in the buffer
    size_t count = 0; // data bytes of this block
    uint8_t flags = 0; // block flags of this block
};

// Builds the next request frame into buffer (frame::BufferSize bytes, cleared first).
BuiltRequest BuildRequestFrame(const RequestInput &in, uint8_t *buffer);

// State of the byte-driven reply checker; it survives between calls until reset, and so
// do the bytes of the frame being examined: a frame whose bytes come in over several calls
// is checked as a whole. Once complete, frame[0, writeIndex) is the frame recognised.
struct FrameChecker {
    int state = 0; // 0 idle ... 8 complete
    size_t writeIndex = 0; // next position in the accumulation buffer
    size_t bufferLength = 0; // bytes given to the call under way (0 between calls)
    uint8_t len = 0; // LEN of the frame being examined
    uint8_t frame[frame::BufferSize] = {}; // the accumulation buffer
    // Where the frame begins within the bytes of the call in which its SOH came (valid when
    // the checker was reset before that call), and its length once complete (LEN + 6).
    size_t frameStart = 0;
    size_t frameLength = 0;
};

void ResetChecker(FrameChecker &checker);

// Examines the received bytes in order; true when a complete valid frame was recognised
// within them; it then lies at checker.frameStart and is checker.frameLength bytes long.
// Writes its findings into the trace log. LEN 1 cannot describe a data part (STX, block
// control and ETX take three bytes), so a frame announcing it is discarded.
bool CheckReplyFrame(FrameChecker &checker, TraceLog &log, const uint8_t *bytes, size_t length);
