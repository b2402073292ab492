#pragma once
// A simulated vendor: a real TCP peer on loopback that answers the vendor commands the
// tool uses, keeps the vendor's state and can misbehave on purpose for tests and demos.
// The quorvel-vendorsim tool runs it from the command line; tests run it in-process on an
// ephemeral port.
//
// Exchanges are numbered from 1 in the order the simulator takes request frames off its
// connections. Faults that name exchanges apply to those; where a set of exchanges is
// optional, an empty set means every exchange.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vendorsim {

inline constexpr size_t kMfpSetSize = 112;
inline constexpr size_t kWorkFileSize = 6152;
inline constexpr int kLogoWidth = 384;
inline constexpr int kLogoHeight = 128;

struct Faults {
    std::set<int> noReply; // these exchanges get no reply at all
    bool silent = false; // no exchange gets a reply: the vendor takes the connection and says nothing
    int delayMs = 0; // wait this long before replying ...
    std::set<int> delayOn; // ... to these exchanges (empty: every one)
    std::vector<size_t> pieces; // send replies cut into pieces of these sizes, the rest last ...
    int pieceGapMs = 200; // ... with this pause between pieces ...
    std::set<int> piecesOn; // ... for these exchanges (empty: every one)
    std::set<int> badBcc; // these replies carry a wrong check byte
    uint8_t status = 0; // reply status (low nibble) given instead of 0 ...
    std::set<int> statusOn; // ... to these exchanges (empty: every one)
    size_t splitReply = 0; // reply data in blocks of at most this many bytes (0: 252)
    std::set<int> closeMidReply; // send half of these replies, then close the connection
    size_t trailing = 0; // bytes of junk after every reply, in the same write
    size_t padReply = 0; // zero bytes added to the reply data of commands with data
    long truncateReply = -1; // reply data of commands with data cut to this many bytes
    std::set<int> ackOnly; // these get an acknowledgement without data (LEN 0), whatever was due
    std::set<int> echo; // these get their own request frame back instead of a reply
    std::set<int> badType; // these replies carry TYPE 0x91 (an invalid frame)
    std::set<int> badCmd; // these replies carry another command code (a valid frame)
    std::set<int> badSta; // these replies carry a STA with its high nibble set (an invalid frame)
    size_t junkBefore = 0; // bytes of junk before every reply's SOH, in the same write
};

struct Options {
    std::string bindAddress = "127.0.0.1"; // loopback only
    uint16_t port = 9004; // 0: an ephemeral port, see Simulator::port()
    std::string outDir; // received-logo.imp/.png go here; empty: kept in memory only
    std::string deviceNumber = "      ";
    Faults faults;
    std::function<void(const std::string &)> log; // one line per exchange; null: silent
    bool recordRequests = true; // keep every request frame for requests()
};

// 127.0.0.0/8 or ::1, in numeric form.
bool isLoopbackAddress(const std::string &address);

// Writes the picture a work file prints: 384 x 128, black dots on white, as a PNG.
bool writeLogoPng(const std::string &path, const uint8_t *workFile);

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator(); // stops
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Binds, listens and starts serving on a thread of its own. False (with the reason in
    // *error) for a bind address other than loopback or when the port cannot be bound.
    bool start(std::string *error = nullptr);
    void stop();
    uint16_t port() const;

    // Request bytes handled as if they had come in over one connection, without a socket
    // or thread (the simulator need not be started): the bytes it sends back. Successive
    // calls continue the same session; after a fault that closes the connection, every
    // later call returns nothing. Call it from one thread at a time.
    std::vector<uint8_t> handleRequestBytes(const uint8_t *bytes, size_t length);

    // State, safe to read and change while the simulator runs.
    void setFaults(const Faults &faults);
    std::vector<std::vector<uint8_t>> requests() const; // every request frame, in order (when recorded)
    int exchanges() const;
    std::string deviceNumber() const;
    long long clockOffset() const; // seconds added to the PC's clock
    void setClockOffset(long long seconds);
    std::array<uint8_t, kMfpSetSize> mfpParameters() const;
    void setMfpParameters(const std::array<uint8_t, kMfpSetSize> &set);
    std::vector<uint8_t> receivedLogo() const; // the last work file accepted
    int logosReceived() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vendorsim
