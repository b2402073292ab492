// A whole vendor operation with arbitrary bytes as the vendor's replies.
//
// Input: one byte that picks the operation, then the vendor's replies, each a two-byte
// little-endian length and that many bytes. A loopback listener in this program answers
// every complete request frame with the next reply. It shuts its side of the connection
// when the replies are used up or the next one is empty, and also when no new request
// follows a reply within a moment (the tool is then waiting for bytes that will not
// come): so no read waits out its limit, and an operation takes milliseconds.
// Properties:
//  - the operation ends, in success or failure, well within the protocol's limits;
//  - the collected reply data never pass the 7000-byte area (AddressSanitizer watches the
//    area itself);
//  - a success is consistent with the bytes: it needs at least as many well-formed vendor
//    replies with status 0 as the command has request blocks, and a value read back (clock,
//    device number, MFP block) is made of data bytes that such replies carried.
#include "fuzzcheck.h"
#include "frameoracle.h"

#include "comm/vender.h"

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// How long the listener waits for the next request after a reply before it takes the
// tool to be waiting for more bytes and shuts its side.
constexpr auto kNextRequestWait = std::chrono::milliseconds(10);

class ScriptedVendor {
public:
    bool start()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
            ::listen(m_listen, 16) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0 ||
            ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        m_port = ntohs(a.sin_port);
        std::thread([this] { run(); }).detach(); // lives as long as the process
        return true;
    }
    uint16_t port() const { return m_port; }

    // The replies for the next operation.
    void play(std::vector<Bytes> replies)
    {
        std::lock_guard<std::mutex> g(m_mu);
        m_replies = std::move(replies);
        m_next = 0;
    }

    // The operation is over: every connection still open is closed.
    void finish()
    {
        std::unique_lock<std::mutex> g(m_mu);
        m_finishing = true;
        [[maybe_unused]] ssize_t w = ::write(m_wake[1], "x", 1);
        m_cv.wait(g, [this] { return !m_finishing; });
    }

private:
    struct Conn {
        int fd = -1;
        Bytes in;
        bool shut = false;
        bool waiting = false;
        Clock::time_point deadline{};
    };

    void shut(Conn &c)
    {
        ::shutdown(c.fd, SHUT_WR);
        c.shut = true;
        c.waiting = false;
    }

    static bool sendAll(int fd, const Bytes &b)
    {
        size_t off = 0;
        while (off < b.size()) {
            const ssize_t r = ::send(fd, b.data() + off, b.size() - off, MSG_NOSIGNAL);
            if (r > 0) {
                off += size_t(r);
            } else if (r < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                return false;
            }
        }
        return true;
    }

    // Answers every complete request frame that has come in on c.
    void answer(Conn &c)
    {
        for (;;) {
            size_t soh = 0;
            while (soh < c.in.size() && c.in[soh] != 0x01)
                ++soh;
            c.in.erase(c.in.begin(), c.in.begin() + long(soh));
            if (c.in.size() < 5 || c.in.size() < size_t(c.in[4]) + 6)
                return;
            c.in.erase(c.in.begin(), c.in.begin() + long(c.in[4]) + 6);
            if (c.shut)
                continue;
            Bytes reply;
            bool have = false;
            {
                std::lock_guard<std::mutex> g(m_mu);
                if (m_next < m_replies.size()) {
                    reply = m_replies[m_next++];
                    have = true;
                }
            }
            if (!have || reply.empty() || !sendAll(c.fd, reply)) {
                shut(c);
            } else {
                c.waiting = true;
                c.deadline = Clock::now() + kNextRequestWait;
            }
        }
    }

    void run()
    {
        std::list<Conn> conns;
        for (;;) {
            std::vector<pollfd> p{{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            int timeout = -1;
            const auto now = Clock::now();
            for (Conn &c : conns) {
                p.push_back({c.fd, POLLIN, 0});
                if (c.waiting) {
                    const auto ms =
                        std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - now).count() + 1;
                    timeout = timeout < 0 ? int(std::max<long long>(ms, 0)) : std::min(timeout, int(std::max<long long>(ms, 0)));
                }
            }
            if (::poll(p.data(), p.size(), timeout) < 0 && errno != EINTR)
                return;
            if (p[1].revents) {
                char drain[16];
                while (::read(m_wake[0], drain, sizeof drain) > 0) {
                }
                for (Conn &c : conns)
                    ::close(c.fd);
                conns.clear();
                std::lock_guard<std::mutex> g(m_mu);
                m_finishing = false;
                m_cv.notify_all();
                continue;
            }
            size_t k = 2;
            for (auto it = conns.begin(); it != conns.end(); ++k) {
                Conn &c = *it;
                bool closed = false;
                if (p[k].revents) {
                    uint8_t buf[2048];
                    const ssize_t r = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
                    if (r > 0) {
                        c.waiting = false;
                        c.in.insert(c.in.end(), buf, buf + r);
                        answer(c);
                    } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                        closed = true;
                    }
                }
                if (!closed && c.waiting && Clock::now() >= c.deadline)
                    shut(c);
                if (closed) {
                    ::close(c.fd);
                    it = conns.erase(it);
                } else {
                    ++it;
                }
            }
            if (p[0].revents) {
                const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd >= 0)
                    conns.push_back(Conn{fd, {}, false, false, {}});
            }
        }
    }

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::mutex m_mu;
    std::condition_variable m_cv;
    std::vector<Bytes> m_replies;
    size_t m_next = 0;
    bool m_finishing = false;
};

ScriptedVendor *g_vendor = nullptr;
std::string g_workFile;

// Every well-formed vendor reply with status 0 anywhere in the bytes: how many, and the
// data they carry, in order.
struct Evidence {
    size_t replies = 0;
    Bytes data;
};

Evidence evidenceIn(const Bytes &all)
{
    Evidence e;
    for (size_t s = 0; s + 6 <= all.size(); ++s) {
        const uint8_t *f = all.data() + s;
        const size_t len = f[4];
        if (f[1] != 0x90 || f[3] != 0 || s + len + 6 > all.size() || !isWellFormedFrame(f, len + 6))
            continue;
        ++e.replies;
        if (len > 3)
            e.data.insert(e.data.end(), f + 7, f + 4 + len);
    }
    return e;
}

bool contains(const Bytes &hay, const uint8_t *needle, size_t n)
{
    if (n > hay.size())
        return false;
    for (size_t k = 0; k + n <= hay.size(); ++k)
        if (std::memcmp(hay.data() + k, needle, n) == 0)
            return true;
    return false;
}

uint8_t fromBcd(uint8_t b)
{
    return uint8_t((b >> 4) * 10 + (b & 0x0F));
}

enum Op { ReadClockOp, SetClockOp, ReadNumberOp, SetNumberOp, GetPaperOp, GetFaxOp, GetScanOp, SetPaperOp, SendLogoOp, OpCount };

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Never destroyed: its thread serves until the process ends.
    g_vendor = new ScriptedVendor;
    if (!g_vendor->start()) {
        std::fprintf(stderr, "fuzz_vender: cannot listen on loopback\n");
        std::exit(1);
    }
    // A work file of the right size for the logo transfer.
    char dir[] = "/tmp/fuzz_vender.XXXXXX";
    if (!::mkdtemp(dir))
        std::exit(1);
    g_workFile = std::string(dir) + "/shoplogo.imp";
    Bytes work(6152, 0);
    const uint8_t head[] = {0x00, 0x1D, 0x2A, 0x30, 0x10};
    std::memcpy(work.data(), head, sizeof head);
    work[6149] = 0x1D, work[6150] = 0x2F, work[6151] = 0x00;
    FILE *f = std::fopen(g_workFile.c_str(), "wb");
    if (!f || std::fwrite(work.data(), 1, work.size(), f) != work.size() || std::fclose(f) != 0)
        std::exit(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const Op op = Op(in.byte() % OpCount);
    std::vector<Bytes> replies;
    Bytes all;
    while (in.left() && replies.size() < 64) {
        size_t n = in.word();
        const uint8_t *p = in.take(n);
        replies.emplace_back(p, p + n);
        all.insert(all.end(), p, p + n);
    }
    const Evidence ev = evidenceIn(all);

    g_vendor->play(replies);
    auto v = std::make_unique<COrvathVender>();
    v->SetAddress("127.0.0.1", g_vendor->port());
    if (!v->OpenSession(1)) {
        g_vendor->finish();
        return 0; // the loopback listener could not be reached: nothing to learn
    }

    const auto t0 = Clock::now();
    bool ok = false;
    size_t blocks = 1; // request blocks of the command
    DeviceDateTime clock{};
    char number[kDeviceNumberLength + 1] = {};
    uint8_t block[kMfpPaperBlockSize] = {};
    size_t blockSize = 0;
    switch (op) {
    case ReadClockOp:
        ok = v->ReadClock(clock);
        break;
    case SetClockOp:
        ok = v->SetClock(DeviceDateTime{26, 12, 10, 4, 30, 0});
        break;
    case ReadNumberOp:
        ok = v->ReadDeviceNumber(number);
        break;
    case SetNumberOp:
        ok = v->SetDeviceNumber("AB12");
        break;
    case GetPaperOp:
        ok = v->GetMfpParameter(MfpParamKind::Paper, block);
        blockSize = kMfpPaperBlockSize;
        break;
    case GetFaxOp:
        ok = v->GetMfpParameter(MfpParamKind::FaxLine2, block);
        blockSize = 1;
        break;
    case GetScanOp:
        ok = v->GetMfpParameter(MfpParamKind::ScanCharging, block);
        blockSize = 1;
        break;
    case SetPaperOp: {
        uint8_t paper[kMfpPaperBlockSize];
        for (size_t i = 0; i < sizeof paper; ++i)
            paper[i] = uint8_t(i);
        ok = v->SetMfpParameter(MfpParamKind::Paper, paper);
        break;
    }
    case SendLogoOp:
        ok = v->SendLogo(1, g_workFile);
        blocks = (6152 + 1 + frame::MaxBlockData - 1) / frame::MaxBlockData;
        break;
    case OpCount:
        break;
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    v->CloseSession();
    g_vendor->finish();

    // Three attempts of at most 6 s each would be 18 s; every read here is answered or
    // sees the connection shut at once, so anything near that is a hang.
    FUZZ_CHECK(took < 15000, "operation %d took %lld ms", int(op), (long long)took);
    FUZZ_CHECK(v->ReplyDataCount() <= COrvathVender::ReplyDataCapacity, "%zu bytes of reply data",
               v->ReplyDataCount());
    if (!ok)
        return 0;
    FUZZ_CHECK(ev.replies >= blocks, "operation %d succeeded with %zu good replies for %zu blocks", int(op),
               ev.replies, blocks);
    switch (op) {
    case ReadClockOp: {
        const uint8_t got[6] = {clock.year, clock.month, clock.day, clock.hour, clock.minute, clock.second};
        bool found = false;
        for (size_t k = 0; !found && k + 6 <= ev.data.size(); ++k) {
            found = true;
            for (size_t i = 0; i < 6; ++i)
                found = found && fromBcd(ev.data[k + i]) == got[i];
        }
        FUZZ_CHECK(found, "clock %u/%u/%u %u:%u:%u read from %zu data bytes", got[0], got[1], got[2], got[3],
                   got[4], got[5], ev.data.size());
        break;
    }
    case ReadNumberOp:
        FUZZ_CHECK(contains(ev.data, reinterpret_cast<const uint8_t *>(number), kDeviceNumberLength),
                   "device number \"%s\" read from %zu data bytes", number, ev.data.size());
        break;
    case GetPaperOp:
    case GetFaxOp:
    case GetScanOp:
        FUZZ_CHECK(contains(ev.data, block, blockSize), "MFP block of %zu bytes read from %zu data bytes",
                   blockSize, ev.data.size());
        break;
    default:
        break;
    }
    return 0;
}
