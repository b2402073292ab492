#pragma once
// The vendor command object: one operation per vendor function, each carried out by
// sendPacket, which cuts the command's data into request blocks, exchanges them, collects
// the reply data of every reply block and makes up to three attempts.
#include "comm/socket.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Vendor date and time: plain numbers here, BCD on the wire. year is within the century.
struct DeviceDateTime {
    uint8_t year = 0;
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
};

// The date and time as the tool shows it: "YY/MM/DD hh:mm:ss".
std::string DeviceDateTimeText(const DeviceDateTime &t);

// The vendor's identity: six 7-bit ASCII characters, six spaces when none is set.
inline constexpr size_t kDeviceNumberLength = 6;

// Selector of the MFP parameter block carried by one get or set.
enum class MfpParamKind : uint16_t {
    Paper = 0, // the ten paper entries, 110 bytes
    FaxLine2 = 1, // 1 byte
    ScanCharging = 2, // 1 byte
};
inline constexpr size_t kMfpPaperBlockSize = 110;

// Vendor command codes.
namespace vendercmd {
inline constexpr uint8_t ReadClock = 0x01;
inline constexpr uint8_t SetClock = 0x02;
inline constexpr uint8_t ReadDeviceNumber = 0x03;
inline constexpr uint8_t SetDeviceNumber = 0x04;
inline constexpr uint8_t SendLogo = 0x15;
inline constexpr uint8_t GetMfpParameter = 0x20;
inline constexpr uint8_t SetMfpParameter = 0x21;
} // namespace vendercmd

// Icons of the messages the command object shows (only SendLogo shows any).
enum class VenderMessageIcon { Information, Exclamation, Stop };
// Receives a message as CP932 text; the desktop tool shows it in a message box.
using VenderMessageSink = std::function<void(const std::string &cp932Text, VenderMessageIcon)>;

// How far a command has come: the attempt (1 to 3) and the request blocks the vendor has
// accepted in it, of how many the command's data make. Reported when an attempt starts and
// after every accepted block, on the thread that runs the command.
struct VenderProgress {
    int attempt = 0;
    size_t blocksDone = 0;
    size_t blocksTotal = 0;
};
using VenderProgressSink = std::function<void(const VenderProgress &)>;

class COrvathVender {
public:
    static constexpr int Attempts = 3;
    static constexpr size_t ReplyDataCapacity = 7000;
    static constexpr size_t TransferBufferSize = 8000;
    static constexpr long LogoFileLimit = 7998; // a work file this long or longer is refused

    COrvathVender();
    virtual ~COrvathVender();
    COrvathVender(const COrvathVender &) = delete;
    COrvathVender &operator=(const COrvathVender &) = delete;

    void SetAddress(const std::string &host, uint16_t port) { m_socket.SetAddress(host, port); }
    // What the connection runs on (see CSocketBase::SetBackend); set it before the session.
    void SetBackend(CCommBackend &backend) { m_socket.SetBackend(backend); }
    void SetMessageSink(VenderMessageSink sink) { m_sink = std::move(sink); }
    void SetProgressSink(VenderProgressSink sink) { m_progress = std::move(sink); }

    // Connection. Requests carry TYPE 0x01 when the mode is non-zero (always, in this
    // system), 0x90 otherwise. CloseSession returns false, whatever happens.
    bool OpenSession(int connectionMode);
    bool CloseSession();
    bool IsConnected() const { return m_socket.IsConnected(); }

    // The reads fail when the reply carries fewer data bytes than the value needs.
    bool ReadClock(DeviceDateTime &out);
    bool SetClock(const DeviceDateTime &in);
    // out receives the six characters and a terminating NUL (7 bytes).
    bool ReadDeviceNumber(char *out);
    // Sends the text up to its first NUL, filled up with spaces to six; characters beyond
    // six are not sent.
    bool SetDeviceNumber(const char *text);
    // Sends the work file at path as the receipt logo (printer type 1 only). Shows its
    // own message when the file cannot be read or has the wrong size.
    bool SendLogo(int printerType, const std::string &path);
    // block receives 110 bytes for Paper, 1 byte otherwise; untouched on failure.
    bool GetMfpParameter(MfpParamKind kind, uint8_t *block);
    bool SetMfpParameter(MfpParamKind kind, const uint8_t *block);

    // Runs one command: true when every block was accepted with status 0. The collected
    // reply data stay readable until the next command.
    bool sendPacket(uint8_t command, uint16_t length, const uint8_t *data);
    const uint8_t *ReplyData() const { return m_replyData.get(); }
    size_t ReplyDataCount() const { return m_replyCount; }

    CSocketBase &Connection() { return m_socket; }
    const TraceLog &Trace() const { return m_socket.Log(); }

private:
    bool exchangeCurrent();
    void renewSuspectConnection();
    void takeReply();
    void showMessage(const char *cp932, VenderMessageIcon icon);

    int m_connectionMode = 0;
    CSocketBase m_socket;
    uint8_t m_cmd = 0;
    uint8_t m_sta = 0;
    uint8_t m_blockFlags = 0;
    uint8_t m_lastReplyFlags = 0; // of the latest vendor reply in this attempt (0 without a data part)
    uint8_t m_lastReplyStatus = 0; // of the latest vendor reply in this attempt
    bool m_sessionOpen = false; // between a successful OpenSession and CloseSession
    bool m_connectionSuspect = false; // an exchange failed: a late reply may still come
    size_t m_blockCount = 0;
    uint8_t m_sequence = 0;
    size_t m_requestLength = 0;
    uint8_t m_request[frame::BufferSize] = {};
    uint8_t m_reply[frame::BufferSize] = {};
    std::unique_ptr<uint8_t[]> m_replyData;
    size_t m_replyCount = 0;
    bool m_replyOverflow = false;
    const uint8_t *m_data = nullptr;
    size_t m_offset = 0;
    uint16_t m_total = 0;
    std::unique_ptr<uint8_t[]> m_transfer;
    VenderMessageSink m_sink;
    VenderProgressSink m_progress;
};
