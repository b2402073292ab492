#include "comm/vender.h"

#include "comm/logofile.h"
#include "texts/comm.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

using namespace commtext;

namespace {

uint8_t toBcd(uint8_t v)
{
    return uint8_t((v / 10) * 16 + v % 10);
}

uint8_t fromBcd(uint8_t b)
{
    return uint8_t((b >> 4) * 10 + (b & 0x0F));
}

size_t mfpBlockSize(MfpParamKind kind)
{
    switch (kind) {
    case MfpParamKind::Paper:
        return kMfpPaperBlockSize;
    case MfpParamKind::FaxLine2:
    case MfpParamKind::ScanCharging:
        return 1;
    }
    return 0;
}

} // namespace

COrvathVender::COrvathVender()
    : m_replyData(new (std::nothrow) uint8_t[ReplyDataCapacity]()),
      m_transfer(new (std::nothrow) uint8_t[TransferBufferSize]())
{
}

COrvathVender::~COrvathVender() = default;

void COrvathVender::showMessage(const char *cp932, VenderMessageIcon icon)
{
    if (m_sink)
        m_sink(cp932, icon);
}

bool COrvathVender::OpenSession(int connectionMode)
{
    m_sessionOpen = false;
    m_connectionSuspect = false;
    if (!m_socket.OpenConnection())
        return false;
    m_connectionMode = connectionMode;
    m_sta = 0;
    m_sessionOpen = true;
    return true;
}

bool COrvathVender::CloseSession()
{
    m_sessionOpen = false;
    m_connectionSuspect = false;
    m_socket.CloseConnection();
    return false;
}

void COrvathVender::renewSuspectConnection()
{
    // After a failed exchange the vendor may still answer it. On a new connection no such
    // late reply can be taken for the answer to a later request.
    if (!m_connectionSuspect || !m_sessionOpen)
        return;
    m_connectionSuspect = false;
    m_socket.CloseConnection();
    // A vendor that has gone away would keep a connect waiting: inside an attempt it is
    // given one reply wait, not the opening's limit. When this fails, the exchanges of
    // this attempt fail.
    m_socket.OpenConnection(std::min(kReconnectLimitMs, m_socket.ConnectSendLimit()));
}

// ---------------------------------------------------------------------------------------
// sendPacket

bool COrvathVender::exchangeCurrent()
{
    RequestInput in;
    in.type = m_connectionMode ? frame::TypeRequest : frame::TypeReply;
    in.cmd = m_cmd;
    in.sta = m_sta;
    in.sequence = m_sequence;
    in.data = m_data;
    in.total = m_total;
    in.offset = m_offset;
    in.replyCollected = m_replyCount > 0;
    in.lastReplyFlags = m_lastReplyFlags;
    const BuiltRequest built = BuildRequestFrame(in, m_request);
    m_requestLength = built.length;
    m_blockCount = built.count;
    m_blockFlags = built.flags;
    bool ok = m_socket.Exchange(m_request, m_requestLength, m_reply);
    // Only the vendor answers with TYPE 0x90, and it answers the command it was asked. A
    // frame of the PC's own type is an echo of a request, and another command's frame is
    // an answer to something else: neither is the reply.
    if (ok && m_reply[frame::OfsType] != frame::TypeReply) {
        m_socket.Log().Trace(kTrBadType, int(frame::OfsType));
        ok = false;
    } else if (ok && m_reply[frame::OfsCmd] != m_cmd) {
        m_socket.Log().Trace(kTrBadCmd, int(frame::OfsCmd));
        ok = false;
    }
    if (!ok)
        m_connectionSuspect = true;
    return ok;
}

void COrvathVender::takeReply()
{
    // exchangeCurrent has made sure the reply is the vendor's (TYPE 0x90).
    const size_t len = m_reply[frame::OfsLen];
    // The block flags of every reply count, also of one without data: an acknowledgement
    // says that nothing more follows.
    m_lastReplyFlags = len >= 3 ? uint8_t(m_reply[frame::OfsBlockControl] & 0xF0) : uint8_t(0);
    if (len > 3) {
        const size_t n = len - 3;
        if (m_replyCount + n > ReplyDataCapacity) {
            // Never write beyond the area: the command fails instead.
            m_socket.Log().Trace(kTrReplyOverflow, int(m_replyCount), int(n), int(ReplyDataCapacity));
            m_replyOverflow = true;
            return;
        }
        std::memcpy(m_replyData.get() + m_replyCount, m_reply + frame::OfsData, n);
        m_replyCount += n;
    }
    m_lastReplyStatus = m_reply[frame::OfsSta] & 0x0F;
}

bool COrvathVender::sendPacket(uint8_t command, uint16_t length, const uint8_t *data)
{
    TraceLog &log = m_socket.Log();
    log.TraceNumbered(0, kTrCommandStart);
    m_replyCount = 0;
    std::memset(m_request, 0, sizeof m_request);
    std::memset(m_reply, 0, sizeof m_reply);

    for (int attemptsLeft = Attempts; attemptsLeft > 0; --attemptsLeft) {
        if (!m_replyData) {
            log.Trace(kTrInitFailed);
            return false;
        }
        // Every attempt starts the command over from its first block.
        std::memset(m_request, 0, sizeof m_request);
        m_sequence = 0;
        m_blockCount = 0;
        m_blockFlags = 0;
        std::memset(m_replyData.get(), 0, ReplyDataCapacity);
        m_replyCount = 0;
        m_replyOverflow = false;
        // A fresh attempt has had no reply yet. Flags left over from an abandoned reply
        // ("more follows") would otherwise turn its first request into a request for more
        // and keep asking for ever when the vendor merely acknowledges.
        m_lastReplyFlags = 0;
        m_lastReplyStatus = 0;
        if (m_socket.Cancelled()) {
            log.Trace(kTrCancelled);
            return false; // nothing more is sent for a command that was called off
        }
        renewSuspectConnection();

        m_cmd = command;
        m_offset = 0;
        m_data = length ? data : nullptr;
        m_total = data ? length : 0;
        const int attempt = Attempts - attemptsLeft + 1;
        const size_t blocksTotal = m_total ? (m_total + frame::MaxBlockData - 1) / frame::MaxBlockData : 1;
        size_t blocksDone = 0;
        if (m_progress)
            m_progress({attempt, 0, blocksTotal});

        bool exchanged = exchangeCurrent();
        while (exchanged) {
            takeReply();
            if (m_replyOverflow)
                return false;
            if (m_blockCount > 0 || blocksDone == 0) {
                // A request for more reply data carries no block of its own.
                blocksDone = std::min(blocksDone + 1, blocksTotal);
                if (m_progress)
                    m_progress({attempt, blocksDone, blocksTotal});
            }
            m_offset += m_blockCount;
            m_sequence = uint8_t((m_sequence + 1) & 0x0F);
            if (m_lastReplyStatus != 0) {
                log.Trace(kTrReplyStatus, unsigned(m_reply[frame::OfsSta]));
                return false;
            }
            if ((m_lastReplyFlags & frame::FlagMore) && m_blockCount == 0 && m_reply[frame::OfsLen] <= 3) {
                // Asked for more, the vendor said "more follows" again without sending
                // any: going on could last for ever, so this attempt has failed.
                m_connectionSuspect = true;
                break;
            }
            if ((m_lastReplyFlags & frame::FlagMore) || (m_blockFlags & frame::FlagMore)) {
                log.Trace(kTrContinue, int(m_offset));
                exchanged = exchangeCurrent();
            } else {
                log.Trace(kTrComplete, int(m_offset));
                return true;
            }
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Operations

bool COrvathVender::ReadClock(DeviceDateTime &out)
{
    // A reply shorter than the six values is no clock reading.
    if (!sendPacket(vendercmd::ReadClock, 0, nullptr) || m_replyCount < 6)
        return false;
    const uint8_t *d = m_replyData.get();
    out = DeviceDateTime{};
    out.year = fromBcd(d[0]);
    out.month = fromBcd(d[1]);
    out.day = fromBcd(d[2]);
    out.hour = fromBcd(d[3]);
    out.minute = fromBcd(d[4]);
    out.second = fromBcd(d[5]);
    return true;
}

bool COrvathVender::SetClock(const DeviceDateTime &in)
{
    const uint8_t data[6] = {toBcd(in.year), toBcd(in.month),  toBcd(in.day),
                             toBcd(in.hour), toBcd(in.minute), toBcd(in.second)};
    return sendPacket(vendercmd::SetClock, sizeof data, data);
}

bool COrvathVender::ReadDeviceNumber(char *out)
{
    if (!sendPacket(vendercmd::ReadDeviceNumber, 0, nullptr) || m_replyCount < kDeviceNumberLength)
        return false;
    std::memcpy(out, m_replyData.get(), kDeviceNumberLength);
    out[kDeviceNumberLength] = '\0';
    return true;
}

bool COrvathVender::SetDeviceNumber(const char *text)
{
    uint8_t data[kDeviceNumberLength];
    bool ended = !text;
    for (size_t i = 0; i < kDeviceNumberLength; ++i) {
        if (!ended && text[i] == '\0')
            ended = true;
        data[i] = ended ? uint8_t(' ') : uint8_t(text[i]);
    }
    return sendPacket(vendercmd::SetDeviceNumber, sizeof data, data);
}

bool COrvathVender::SendLogo(int printerType, const std::string &path)
{
    if (printerType != 1) {
        // The transfer below is the one for printer type 1; nothing else is sent.
        m_socket.Log().Trace(kTrBadPrinterType, printerType);
        return false;
    }
    if (!m_transfer)
        return false;
    std::memset(m_transfer.get(), 0, TransferBufferSize);

    size_t n = 0;
    switch (ReadLogoFile(path, m_transfer.get() + 1, LogoFileLimit, n)) {
    case LogoFileRead::Read:
        break;
    case LogoFileRead::Unreadable:
        showMessage(kMsgLogoFileUnreadable, VenderMessageIcon::Stop);
        return false;
    case LogoFileRead::TooLarge:
        showMessage(kMsgLogoFileSize, VenderMessageIcon::Stop);
        return false;
    }
    m_transfer[0] = 0x00;
    return sendPacket(vendercmd::SendLogo, uint16_t(n + 1), m_transfer.get());
}

bool COrvathVender::GetMfpParameter(MfpParamKind kind, uint8_t *block)
{
    const uint16_t k = uint16_t(kind);
    const uint8_t data[2] = {uint8_t(k >> 8), uint8_t(k & 0xFF)};
    if (!sendPacket(vendercmd::GetMfpParameter, sizeof data, data))
        return false;
    const size_t size = mfpBlockSize(kind);
    if (size == 0)
        return true; // unknown kind: nothing to copy
    // Two leading bytes, then the block; a shorter reply leaves the block as it was.
    if (m_replyCount < 2 + size)
        return false;
    std::memcpy(block, m_replyData.get() + 2, size);
    return true;
}

bool COrvathVender::SetMfpParameter(MfpParamKind kind, const uint8_t *block)
{
    const size_t size = mfpBlockSize(kind);
    if (size == 0)
        return false;
    uint8_t data[2 + kMfpPaperBlockSize];
    const uint16_t k = uint16_t(kind);
    data[0] = uint8_t(k >> 8);
    data[1] = uint8_t(k & 0xFF);
    std::memcpy(data + 2, block, size);
    return sendPacket(vendercmd::SetMfpParameter, uint16_t(2 + size), data);
}

std::string DeviceDateTimeText(const DeviceDateTime &t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}
