#pragma once
// Small helpers shared by the protocol tests.
#include "comm/frame.h"
#include "comm/vender.h"
#include "platform/codepage.h"
#include "vendorsim/vendorsim.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <arpa/inet.h>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace testutil {

using Bytes = std::vector<uint8_t>;

// "01 90 0a" -> bytes
inline Bytes hex(const std::string &text)
{
    Bytes out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok)
        out.push_back(uint8_t(std::strtoul(tok.c_str(), nullptr, 16)));
    return out;
}

inline std::string utf8(const std::string &cp932)
{
    return platform::fromCp932(cp932).toStdString();
}

// The trace ring's entries, oldest first, as UTF-8.
inline std::vector<std::string> traceLines(const TraceLog &log)
{
    std::vector<std::string> out;
    for (const std::string &l : log.entries())
        out.push_back(utf8(l));
    return out;
}

inline uint8_t bcc(const Bytes &b)
{
    uint8_t x = 0;
    for (uint8_t v : b)
        x ^= v;
    return x;
}

// The data bytes of a frame (after the block control byte, before ETX).
inline Bytes dataOf(const Bytes &f)
{
    return f.size() > 9 && f[4] > 3 ? Bytes(f.begin() + 7, f.end() - 2) : Bytes{};
}

inline Bytes withBcc(Bytes b)
{
    b.push_back(bcc(b));
    return b;
}

// A loopback port that nobody listens on: bound for a moment, then released.
inline uint16_t portWithNothingListening()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A loopback listener of the test's own on an ephemeral port. Connections wait in the
// kernel's queue and are never answered unless the test accepts them. fillQueue() (with a
// backlog of 0) fills that queue, so further connects hang, as towards a vendor that has
// been switched off.
struct Listener {
    explicit Listener(int backlog = 4)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ok = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(fd, backlog) == 0;
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener()
    {
        for (int f : fillers)
            ::close(f);
        ::close(fd);
    }
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    void fillQueue()
    {
        for (int i = 0; i < 3; ++i) {
            const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ::connect(f, reinterpret_cast<sockaddr *>(&a), sizeof a);
            fillers.push_back(f);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    int fd = -1;
    uint16_t port = 0;
    bool ok = false;
    std::vector<int> fillers;
};

// A simulated vendor, running on an ephemeral loopback port (null if it could not start).
inline std::unique_ptr<vendorsim::Simulator> startSimulator(vendorsim::Faults faults = {},
                                                            std::string outDir = {})
{
    vendorsim::Options o;
    o.port = 0;
    o.faults = std::move(faults);
    o.outDir = std::move(outDir);
    auto sim = std::make_unique<vendorsim::Simulator>(o);
    return sim->start() ? std::move(sim) : nullptr;
}

// A work file: header, a picture with a few dots, print command.
inline Bytes sampleWorkFile()
{
    Bytes f(6152, 0);
    const Bytes head = hex("00 1D 2A 30 10");
    std::copy(head.begin(), head.end(), f.begin());
    f[6149] = 0x1D;
    f[6150] = 0x2F;
    f[6151] = 0x00;
    f[5] = 0x80;               // dot (0, 0)
    f[5 + 16 * 383 + 15] = 0x01; // dot (383, 127)
    for (int x = 100; x < 110; ++x)
        f[5 + 16 * size_t(x) + 4] = 0xFF; // rows 32-39
    return f;
}

// A clock reading as calendar time, to compare with the simulator's clock.
inline std::time_t asTime(const DeviceDateTime &t)
{
    std::tm tm{};
    tm.tm_year = 100 + t.year;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

} // namespace testutil
