// A whole vendor operation with arbitrary bytes as the vendor's replies.
//
// Input: one byte that picks the operation, then the vendor's replies, each a two-byte
// little-endian length and that many bytes. The vendor is an in-memory peer on the virtual
// clock: it answers every complete request frame with the next reply. It closes its side of
// the connection when the replies are used up or the next one is empty, and also when no
// new request follows a reply within 10 ms of virtual time (the tool is then waiting for
// bytes that will not come). Waits cost no real time, so an operation takes microseconds.
// Properties:
//  - the operation ends, in success or failure, well within the protocol's limits (in
//    virtual time);
//  - the collected reply data never pass the 7000-byte area (AddressSanitizer watches the
//    area itself);
//  - a success is consistent with the bytes: it needs at least as many well-formed vendor
//    replies with status 0 as the command has request blocks, and a value read back (clock,
//    device number, MFP block) is made of data bytes that such replies carried, each reply
//    found within the bytes that answered one request, in the order they answered.
#include "frameoracle.h"
#include "fuzzcheck.h"

#include "comm/memorynet.h"
#include "comm/vender.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// How long the vendor waits for the next request after a reply before it takes the tool
// to be waiting for more bytes and closes its side.
constexpr int64_t kNextRequestWaitMs = 10;

// One reply: bytes of the input.
struct Reply {
    const uint8_t *bytes;
    size_t length;
};

// The vendor's side: the replies of one operation, handed out in order over every
// connection the operation makes.
class ScriptedVendor {
public:
    explicit ScriptedVendor(const std::vector<Reply> &replies) : m_replies(replies) {}

    CMemoryScript script()
    {
        return {nullptr,
                [this](CMemoryLink &link, const uint8_t *bytes, size_t length) { receive(link, bytes, length); }};
    }

private:
    struct Conn {
        Bytes in;
        bool shut = false;
    };

    // Answers every complete request frame that has come in on the link.
    void receive(CMemoryLink &link, const uint8_t *bytes, size_t length)
    {
        if (m_conns.size() < size_t(link.Index()))
            m_conns.resize(size_t(link.Index()));
        Conn &c = m_conns[size_t(link.Index() - 1)];
        c.in.insert(c.in.end(), bytes, bytes + length);
        if (!c.shut)
            link.KeepOpen(); // a request came: the tool is not waiting in vain
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
            if (m_next >= m_replies.size() || m_replies[m_next].length == 0) {
                ++m_next;
                c.shut = true;
                link.CloseAt(link.NowMs());
                continue;
            }
            const Reply &r = m_replies[m_next++];
            link.Deliver(link.NowMs(), r.bytes, r.length);
            link.CloseAt(link.NowMs() + kNextRequestWaitMs);
        }
    }

    const std::vector<Reply> &m_replies;
    size_t m_next = 0;
    std::vector<Conn> m_conns;
};

std::string g_workFile;

// Every well-formed vendor reply with status 0 anywhere in the bytes: how many.
size_t goodRepliesIn(const Bytes &all)
{
    size_t n = 0;
    for (size_t s = 0; s + 6 <= all.size(); ++s) {
        const uint8_t *f = all.data() + s;
        const size_t len = f[4];
        if (f[1] == 0x90 && f[3] == 0 && s + len + 6 <= all.size() && isWellFormedFrame(f, len + 6))
            ++n;
    }
    return n;
}

// The data part of a well-formed vendor reply with status 0 (empty for one without data).
struct Part {
    const uint8_t *data;
    size_t length;
};

// Such parts found at any offset in the bytes of one reply. Each exchange takes its frame
// from the bytes of the one reply that answers it (what is left of an earlier one is dropped
// before the request), so frames are looked for reply by reply, not across them.
void partsIn(const Reply &r, std::vector<Part> &out)
{
    out.clear();
    for (size_t s = 0; s + 6 <= r.length; ++s) {
        const uint8_t *f = r.bytes + s;
        const size_t len = f[4];
        if (f[1] == 0x90 && f[3] == 0 && s + len + 6 <= r.length && isWellFormedFrame(f, len + 6))
            out.push_back({f + 7, len > 3 ? len - 3 : 0});
    }
}

// True when a value of n bytes (byte i compared with a data byte by same(dataByte, i)) lies
// within the data of consecutive replies, one part taken from each, as the reply data the
// exchanges of one attempt collect do.
template <class Same> bool readableFrom(const std::vector<std::vector<Part>> &parts, size_t n, Same same)
{
    auto match = [&](const Part &c, size_t from, size_t valueAt, size_t count) {
        for (size_t j = 0; j < count; ++j)
            if (!same(c.data[from + j], valueAt + j))
                return false;
        return true;
    };
    // matched[p]: the first p bytes of the value end with the parts taken so far.
    std::vector<char> matched(n + 1, 0), next(n + 1, 0);
    for (const std::vector<Part> &reply : parts) {
        std::fill(next.begin(), next.end(), 0);
        for (const Part &c : reply) {
            // The value begins in this part ...
            for (size_t k = 0; k < c.length; ++k) {
                const size_t m = std::min(c.length - k, n);
                if (match(c, k, 0, m)) {
                    if (m == n)
                        return true;
                    next[m] = 1;
                }
            }
            // ... or goes on in it.
            for (size_t p = 1; p < n; ++p) {
                if (!matched[p])
                    continue;
                const size_t m = std::min(c.length, n - p);
                if (match(c, 0, p, m)) {
                    if (p + m == n)
                        return true;
                    next[p + m] = 1;
                }
            }
        }
        matched.swap(next);
    }
    return false;
}

uint8_t fromBcd(uint8_t b)
{
    return uint8_t((b >> 4) * 10 + (b & 0x0F));
}

enum Op {
    ReadClockOp,
    SetClockOp,
    ReadNumberOp,
    SetNumberOp,
    GetPaperOp,
    GetFaxOp,
    GetScanOp,
    SetPaperOp,
    SendLogoOp,
    OpCount
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
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
    // Kept from input to input, so that their room is not made anew every time.
    static std::vector<Reply> replies;
    static Bytes all;
    replies.clear();
    all.clear();
    while (in.left() && replies.size() < 64) {
        size_t n = in.word();
        const uint8_t *p = in.take(n);
        replies.push_back({p, n});
        all.insert(all.end(), p, p + n);
    }

    ScriptedVendor vendor(replies);
    CMemoryNet net(vendor.script());
    net.SetRecording(false);
    // One vendor object serves every input, as one serves every session in the tool: a
    // session starts from what OpenSession and each command set up. (Making a new one for
    // every input costs more than the operation itself.)
    static COrvathVender vender;
    COrvathVender *const v = &vender;
    v->SetBackend(net);
    FUZZ_CHECK(v->OpenSession(1), "the in-memory connection did not open");

    const int64_t t0 = net.VirtualClock().NowMs();
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
    const int64_t took = net.VirtualClock().NowMs() - t0;
    v->CloseSession();

    // Three attempts of at most 6 s each would be 18 s; every read here is answered or
    // sees the connection shut at once, so anything near that is a hang.
    FUZZ_CHECK(took < 15000, "operation %d took %lld ms", int(op), (long long)took);
    FUZZ_CHECK(v->ReplyDataCount() <= COrvathVender::ReplyDataCapacity, "%zu bytes of reply data",
               v->ReplyDataCount());
    if (!ok)
        return 0;
    const size_t good = goodRepliesIn(all);
    FUZZ_CHECK(good >= blocks, "operation %d succeeded with %zu good replies for %zu blocks", int(op), good,
               blocks);
    static std::vector<std::vector<Part>> parts;
    parts.resize(replies.size());
    for (size_t i = 0; i < replies.size(); ++i)
        partsIn(replies[i], parts[i]);
    switch (op) {
    case ReadClockOp: {
        const uint8_t got[6] = {clock.year, clock.month, clock.day, clock.hour, clock.minute, clock.second};
        FUZZ_CHECK(readableFrom(parts, 6, [&](uint8_t b, size_t i) { return fromBcd(b) == got[i]; }),
                   "clock %u/%u/%u %u:%u:%u read from no reply data", got[0], got[1], got[2], got[3], got[4],
                   got[5]);
        break;
    }
    case ReadNumberOp:
        FUZZ_CHECK(
            readableFrom(parts, kDeviceNumberLength, [&](uint8_t b, size_t i) { return b == uint8_t(number[i]); }),
            "device number \"%s\" read from no reply data", number);
        break;
    case GetPaperOp:
    case GetFaxOp:
    case GetScanOp:
        FUZZ_CHECK(readableFrom(parts, blockSize, [&](uint8_t b, size_t i) { return b == block[i]; }),
                   "MFP block of %zu bytes read from no reply data", blockSize);
        break;
    default:
        break;
    }
    return 0;
}
