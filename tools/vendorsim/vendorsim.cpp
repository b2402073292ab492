#include "vendorsim/vendorsim.h"

#include "comm/frame.h"
#include "comm/vender.h"
#include "platform/atomicfile.h"
#include "platform/calendar.h"
#include "vendorsim/simnet.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

namespace vendorsim {

namespace {

constexpr uint8_t kStatusRefused = 0x01;
// A command's data are counted in 16 bits.
constexpr size_t kMaxCommandData = 65535;

bool applies(const std::set<int> &on, int n)
{
    return on.empty() || on.count(n);
}

uint8_t toBcd(int v)
{
    return uint8_t((v / 10) * 16 + v % 10);
}

bool fromBcd(uint8_t b, int &v)
{
    if ((b >> 4) > 9 || (b & 0x0F) > 9)
        return false;
    v = (b >> 4) * 10 + (b & 0x0F);
    return true;
}

std::string hexByte(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

// One reply block: flags for the block control byte, and its data (none: LEN 0 frame).
struct Block {
    uint8_t flags = 0;
    std::vector<uint8_t> data;
};

// Its own builder, not comm/frame.cpp's: an independent peer catches faults a shared one would hide.
std::vector<uint8_t> replyFrame(uint8_t cmd, uint8_t sta, uint8_t sequence, const Block &b)
{
    std::vector<uint8_t> f{frame::SOH, frame::TypeReply, cmd, sta};
    if (b.data.empty()) {
        f.push_back(0);
    } else {
        f.push_back(uint8_t(b.data.size() + 3));
        f.push_back(frame::STX);
        f.push_back(uint8_t(b.flags | (sequence & 0x0F)));
        f.insert(f.end(), b.data.begin(), b.data.end());
        f.push_back(frame::ETX);
    }
    uint8_t x = 0;
    for (uint8_t v : f)
        x ^= v;
    f.push_back(x);
    return f;
}

// SOH, TYPE, CMD below 0x30, STA with a clear high nibble, STX and ETX in place, and the
// check byte. f holds LEN + 6 bytes.
bool wellFormed(const std::vector<uint8_t> &f)
{
    const size_t len = f[frame::OfsLen];
    if (f[0] != frame::SOH || (f[1] != frame::TypeRequest && f[1] != frame::TypeReply) ||
        f[frame::OfsCmd] >= 0x30 || (f[frame::OfsSta] & 0xF0) || len == 1)
        return false;
    if (len && (f[frame::OfsStx] != frame::STX || f[len + 4] != frame::ETX))
        return false;
    uint8_t x = 0;
    for (size_t i = 0; i + 1 < f.size(); ++i)
        x ^= f[i];
    return x == f.back();
}

struct Outcome {
    uint8_t status = 0;
    std::vector<uint8_t> data;
    std::string note;
};

} // namespace

bool isLoopbackAddress(const std::string &address)
{
    return net::isLoopback(address);
}

// ---------------------------------------------------------------------------------------

struct Simulator::Impl {
    Options opt;

    mutable std::mutex mu; // guards the vendor state below
    std::shared_ptr<const Faults> faults;
    std::vector<std::vector<uint8_t>> requests;
    int exchangeCount = 0;
    std::string deviceNumber;
    long long clockOffset = 0;
    std::array<uint8_t, kMfpSetSize> mfp{};
    std::vector<uint8_t> logo;
    int logos = 0;

    net::Handle listenFd = net::kNone;
    net::Wake wake;
    uint16_t port = 0;
    std::atomic<bool> running{false};
    std::thread acceptThread;

    struct Connection {
        std::thread thread;
        net::Handle fd = net::kNone;
        std::atomic<bool> done{false};
    };
    std::mutex connMu;
    std::list<Connection> connections;
    std::mutex logMu;

    // Per-connection protocol state.
    struct Session {
        std::vector<uint8_t> in;
        std::deque<Block> pending; // reply blocks the PC has still to ask for
        uint8_t pendingCmd = 0;
        std::vector<uint8_t> assembly; // request data of a command sent in several blocks
        bool assembling = false;
        uint8_t assemblyCmd = 0;
    };

    // Where a session's replies go: the connection's socket or, for requests handed over
    // as bytes (handleRequestBytes), a byte vector.
    struct Sink {
        net::Handle fd = net::kNone;
        std::vector<uint8_t> *bytes = nullptr;
    };
    Session rawSession;
    bool rawClosed = false;

    static bool emit(const Sink &out, const uint8_t *p, size_t n)
    {
        if (out.bytes) {
            out.bytes->insert(out.bytes->end(), p, p + n);
            return true;
        }
        return net::sendAll(out.fd, p, n);
    }

    void log(const std::string &line)
    {
        if (!opt.log)
            return;
        std::lock_guard<std::mutex> g(logMu);
        opt.log(line);
    }

    // Sleeps, but returns false at once when the simulator stops.
    bool pause(int ms) { return net::sleepUnlessWoken(wake, ms); }

    void acceptLoop();
    void serve(Connection *c);
    bool takeFrames(Session &s, const Sink &out);
    // One request frame, in four stages: take it (number it, record it, check and read it),
    // build the vendor's reply, apply the faults that change the reply, deliver it (with the
    // faults of delivery). False once the connection is to be closed.
    bool handle(Session &s, const Sink &out, std::vector<uint8_t> frameBytes);

    // A request frame taken off a connection, with the faults in force for its exchange
    // and the log line that grows as it is handled.
    struct Request {
        int n = 0; // the exchange's number
        std::shared_ptr<const Faults> faults;
        std::vector<uint8_t> frame;
        uint8_t cmd = 0;
        size_t len = 0;
        uint8_t flags = 0; // block flags of the request
        uint8_t sequence = 0; // its sequence number, repeated in the reply
        std::vector<uint8_t> data;
        bool logging = false;
        std::string line;
    };
    // The reply as the vendor means it, before the faults: the block, its status, a note.
    struct Reply {
        Block block;
        uint8_t sta = 0;
        std::string note;
    };
    // False for a frame that is not well formed (logged and ignored).
    bool takeRequest(std::vector<uint8_t> frameBytes, Request &r);
    Reply buildReply(Session &s, const Request &r);
    std::vector<uint8_t> applyFaults(const Request &r, Reply &reply);
    bool deliver(const Sink &out, Request &r, std::vector<uint8_t> bytes);
    Outcome process(uint8_t cmd, const std::vector<uint8_t> &data);
    Outcome readClock();
    Outcome setClock(const std::vector<uint8_t> &data);
    Outcome receiveLogo(const std::vector<uint8_t> &data);
    Outcome getMfp(const std::vector<uint8_t> &data);
    Outcome setMfp(const std::vector<uint8_t> &data);
};

Simulator::Simulator(Options options) : d(std::make_unique<Impl>())
{
    d->opt = std::move(options);
    d->faults = std::make_shared<const Faults>(d->opt.faults);
    d->deviceNumber = d->opt.deviceNumber;
    d->deviceNumber.resize(6, ' ');
    for (size_t k = 0; k < 10; ++k)
        d->mfp[11 * k] = uint8_t(k); // every entry carries its own paper number
}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start(std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        net::closeHandle(d->listenFd);
        d->listenFd = net::kNone;
        return false;
    };
    if (d->running)
        return fail("already running");
    const std::string &addr = d->opt.bindAddress;
    if (!isLoopbackAddress(addr))
        return fail("refusing to bind to " + addr + ": only loopback addresses (127.0.0.1, ::1) are allowed");

    std::string why;
    uint16_t port = d->opt.port;
    if (!net::listenOn(addr, port, d->listenFd, why))
        return fail(why);
    d->port = port;
    if (!net::makeWake(d->wake, why))
        return fail(why);
    d->running = true;
    d->acceptThread = std::thread([this] { d->acceptLoop(); });
    return true;
}

void Simulator::stop()
{
    if (!d->running.exchange(false))
        return;
    net::signalWake(d->wake);
    d->acceptThread.join();
    {
        std::lock_guard<std::mutex> g(d->connMu);
        for (auto &c : d->connections)
            net::shutdownBoth(c.fd);
    }
    for (auto &c : d->connections)
        c.thread.join();
    d->connections.clear();
    net::closeHandle(d->listenFd);
    net::closeWake(d->wake);
    d->listenFd = net::kNone;
}

uint16_t Simulator::port() const
{
    return d->port;
}

void Simulator::Impl::acceptLoop()
{
    for (;;) {
        if (!net::waitForConnection(listenFd, wake))
            return;
        const net::Handle fd = net::acceptOne(listenFd);
        if (fd == net::kNone)
            continue;
        std::lock_guard<std::mutex> g(connMu);
        // Reap the threads of connections that have ended.
        for (auto it = connections.begin(); it != connections.end();) {
            if (it->done) {
                it->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
        Connection &c = connections.emplace_back();
        c.fd = fd;
        c.thread = std::thread([this, &c] { serve(&c); });
    }
}

void Simulator::Impl::serve(Connection *c)
{
    const net::Handle fd = c->fd;
    Session s;
    uint8_t buf[4096];
    while (running) {
        // stop() shuts the connection down, which ends this read.
        const long r = net::receiveSome(fd, buf, sizeof buf);
        if (r <= 0)
            break;
        s.in.insert(s.in.end(), buf, buf + r);
        if (!takeFrames(s, Sink{fd, nullptr}))
            break;
    }
    {
        std::lock_guard<std::mutex> g(connMu);
        net::closeHandle(fd);
        c->fd = net::kNone;
    }
    c->done = true;
}

// Takes every complete frame off the session's input and answers it; false once the
// connection is to be closed.
bool Simulator::Impl::takeFrames(Session &s, const Sink &out)
{
    for (;;) {
        auto soh = std::find(s.in.begin(), s.in.end(), frame::SOH);
        s.in.erase(s.in.begin(), soh);
        if (s.in.size() < 5 || s.in.size() < size_t(s.in[frame::OfsLen]) + 6)
            return true;
        const size_t n = size_t(s.in[frame::OfsLen]) + 6;
        std::vector<uint8_t> f(s.in.begin(), s.in.begin() + long(n));
        s.in.erase(s.in.begin(), s.in.begin() + long(n));
        if (!handle(s, out, std::move(f)))
            return false;
    }
}

bool Simulator::Impl::handle(Session &s, const Sink &out, std::vector<uint8_t> frameBytes)
{
    Request r;
    if (!takeRequest(std::move(frameBytes), r))
        return true;
    Reply reply = buildReply(s, r);
    std::vector<uint8_t> bytes = applyFaults(r, reply);
    if (r.logging) {
        r.line += " -> sta=" + std::to_string(reply.sta) + " data=" + std::to_string(reply.block.data.size());
        if (!reply.block.data.empty())
            r.line += " flags=" + hexByte(reply.block.flags);
        if (!reply.note.empty())
            r.line += " " + reply.note;
    }
    return deliver(out, r, std::move(bytes));
}

bool Simulator::Impl::takeRequest(std::vector<uint8_t> frameBytes, Request &r)
{
    {
        std::lock_guard<std::mutex> g(mu);
        r.n = ++exchangeCount;
        if (opt.recordRequests)
            requests.push_back(frameBytes);
        r.faults = faults;
    }
    r.logging = bool(opt.log);
    if (r.logging)
        r.line = "#" + std::to_string(r.n);

    if (!wellFormed(frameBytes)) {
        log(r.line + " invalid request frame, ignored");
        return false;
    }
    r.cmd = frameBytes[frame::OfsCmd];
    r.len = frameBytes[frame::OfsLen];
    const uint8_t control = r.len >= 3 ? frameBytes[frame::OfsBlockControl] : 0;
    r.flags = control & 0xF0;
    r.sequence = control & 0x0F;
    if (r.len > 3)
        r.data.assign(frameBytes.begin() + frame::OfsData, frameBytes.begin() + long(frame::OfsData + r.len - 3));
    r.frame = std::move(frameBytes);
    if (r.logging)
        r.line += " cmd=" + hexByte(r.cmd) + " seq=" + std::to_string(r.sequence) + " flags=" + hexByte(r.flags) +
            " data=" + std::to_string(r.data.size());
    return true;
}

Simulator::Impl::Reply Simulator::Impl::buildReply(Session &s, const Request &r)
{
    const Faults &fl = *r.faults;
    Reply reply;
    if (r.len >= 3 && r.flags == 0 && r.data.empty() && !s.pending.empty() && s.pendingCmd == r.cmd) {
        // The PC asks for the next reply block.
        reply.block = std::move(s.pending.front());
        s.pending.pop_front();
        return reply;
    }
    s.pending.clear();
    if ((r.flags & frame::FlagFirst) || !s.assembling || s.assemblyCmd != r.cmd) {
        s.assembly.clear();
        s.assembling = true;
        s.assemblyCmd = r.cmd;
    }
    if (s.assembly.size() + r.data.size() > kMaxCommandData) {
        // No command of the protocol carries more: a peer that keeps sending blocks must not
        // grow the simulator without end.
        s.assembly.clear();
        s.assembling = false;
        reply.sta = kStatusRefused;
        reply.note = "(command data beyond " + std::to_string(kMaxCommandData) + " bytes)";
        return reply;
    }
    s.assembly.insert(s.assembly.end(), r.data.begin(), r.data.end());
    if (r.flags & frame::FlagMore)
        return reply; // the command's data go on in the next block
    s.assembling = false;
    Outcome done = process(r.cmd, s.assembly);
    reply.sta = done.status;
    reply.note = done.note;
    if (!done.data.empty()) {
        if (fl.truncateReply >= 0 && done.data.size() > size_t(fl.truncateReply))
            done.data.resize(size_t(fl.truncateReply));
        done.data.resize(done.data.size() + fl.padReply, 0);
    }
    // Reply data longer than one block go out in several; the PC asks for each.
    const size_t most = fl.splitReply ? std::min(fl.splitReply, frame::MaxBlockData) : frame::MaxBlockData;
    std::vector<Block> blocks;
    for (size_t off = 0; off < done.data.size(); off += most) {
        Block b;
        b.data.assign(done.data.begin() + long(off),
                      done.data.begin() + long(std::min(done.data.size(), off + most)));
        blocks.push_back(std::move(b));
    }
    for (size_t i = 0; i < blocks.size(); ++i)
        blocks[i].flags =
            uint8_t((i == 0 ? frame::FlagFirst : 0) | (i + 1 < blocks.size() ? frame::FlagMore : frame::FlagLast));
    if (!blocks.empty()) {
        reply.block = std::move(blocks.front());
        s.pending.assign(std::make_move_iterator(blocks.begin() + 1), std::make_move_iterator(blocks.end()));
        s.pendingCmd = r.cmd;
    }
    return reply;
}

std::vector<uint8_t> Simulator::Impl::applyFaults(const Request &r, Reply &reply)
{
    const Faults &fl = *r.faults;
    const int n = r.n;
    if (fl.status && applies(fl.statusOn, n))
        reply.sta = fl.status & 0x0F;
    if (fl.ackOnly.count(n)) {
        reply.block = Block{};
        reply.note += " [acknowledged without data]";
    }
    std::vector<uint8_t> bytes = replyFrame(r.cmd, reply.sta, r.sequence, reply.block);
    // Field faults change one field and keep the check byte right, so that only that
    // field is wrong.
    auto refit = [&bytes](size_t at, uint8_t value) {
        bytes[at] = value;
        uint8_t x = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i)
            x ^= bytes[i];
        bytes.back() = x;
    };
    if (fl.badType.count(n)) {
        refit(frame::OfsType, 0x91);
        reply.note += " [wrong TYPE]";
    }
    if (fl.badCmd.count(n)) {
        refit(frame::OfsCmd, uint8_t(r.cmd ^ 0x08));
        reply.note += " [wrong CMD]";
    }
    if (fl.badSta.count(n)) {
        refit(frame::OfsSta, uint8_t(0x10 | reply.sta));
        reply.note += " [wrong STA]";
    }
    if (fl.echo.count(n)) {
        bytes = r.frame;
        reply.note += " [request echoed]";
    }
    if (fl.junkBefore) {
        // Junk with a false start in it: an SOH followed by a byte that is no TYPE.
        static const uint8_t pattern[] = {0x55, frame::SOH, 0xAA};
        std::vector<uint8_t> junk(fl.junkBefore);
        for (size_t i = 0; i < junk.size(); ++i)
            junk[i] = pattern[i % sizeof pattern];
        bytes.insert(bytes.begin(), junk.begin(), junk.end());
        reply.note += " [" + std::to_string(fl.junkBefore) + " junk bytes first]";
    }
    return bytes;
}

bool Simulator::Impl::deliver(const Sink &out, Request &r, std::vector<uint8_t> bytes)
{
    const Faults &fl = *r.faults;
    const int n = r.n;
    std::string &line = r.line;
    if (fl.silent || fl.noReply.count(n)) {
        log(line + " [no reply]");
        return true;
    }
    if (fl.delayMs > 0 && applies(fl.delayOn, n)) {
        line += " [delayed " + std::to_string(fl.delayMs) + " ms]";
        if (!pause(fl.delayMs))
            return false;
    }
    if (fl.badBcc.count(n)) {
        bytes.back() ^= 0xFF;
        line += " [wrong check byte]";
    }
    if (fl.trailing) {
        bytes.insert(bytes.end(), fl.trailing, 0x55);
        line += " [+" + std::to_string(fl.trailing) + " trailing bytes]";
    }
    if (fl.closeMidReply.count(n)) {
        log(line + " [closed mid-reply]");
        emit(out, bytes.data(), std::max<size_t>(1, bytes.size() / 2));
        return false;
    }
    if (!fl.pieces.empty() && applies(fl.piecesOn, n)) {
        log(line + " [in pieces]");
        size_t off = 0;
        for (size_t i = 0; i <= fl.pieces.size() && off < bytes.size(); ++i) {
            const size_t take =
                i < fl.pieces.size() ? std::min(fl.pieces[i], bytes.size() - off) : bytes.size() - off;
            if (off && !pause(fl.pieceGapMs))
                return false;
            if (!emit(out, bytes.data() + off, take))
                return false;
            off += take;
        }
        return true;
    }
    log(line);
    return emit(out, bytes.data(), bytes.size());
}

Outcome Simulator::Impl::process(uint8_t cmd, const std::vector<uint8_t> &data)
{
    switch (cmd) {
    case vendercmd::ReadClock:
        return readClock();
    case vendercmd::SetClock:
        return setClock(data);
    case vendercmd::ReadDeviceNumber: {
        std::lock_guard<std::mutex> g(mu);
        return {0, std::vector<uint8_t>(deviceNumber.begin(), deviceNumber.end()), {}};
    }
    case vendercmd::SetDeviceNumber: {
        if (data.size() != 6)
            return {kStatusRefused, {}, "(device number must be 6 bytes)"};
        std::lock_guard<std::mutex> g(mu);
        deviceNumber.assign(data.begin(), data.end());
        return {0, {}, "device number \"" + deviceNumber + "\""};
    }
    case vendercmd::SendLogo:
        return receiveLogo(data);
    case vendercmd::GetMfpParameter:
        return getMfp(data);
    case vendercmd::SetMfpParameter:
        return setMfp(data);
    default:
        return {kStatusRefused, {}, "(unknown command)"};
    }
}

Outcome Simulator::Impl::readClock()
{
    long long offset;
    {
        std::lock_guard<std::mutex> g(mu);
        offset = clockOffset;
    }
    const time_t t = time_t(std::time(nullptr) + offset);
    std::tm tm{};
    platform::localTime(t, tm);
    return {0,
            {toBcd(tm.tm_year % 100), toBcd(tm.tm_mon + 1), toBcd(tm.tm_mday), toBcd(tm.tm_hour), toBcd(tm.tm_min),
             toBcd(tm.tm_sec)},
            {}};
}

Outcome Simulator::Impl::setClock(const std::vector<uint8_t> &data)
{
    int v[6];
    if (data.size() != 6)
        return {kStatusRefused, {}, "(clock needs 6 bytes)"};
    for (int i = 0; i < 6; ++i)
        if (!fromBcd(data[size_t(i)], v[i]))
            return {kStatusRefused, {}, "(clock bytes are not BCD)"};
    std::tm tm{};
    tm.tm_year = 100 + v[0];
    tm.tm_mon = v[1] - 1;
    tm.tm_mday = v[2];
    tm.tm_hour = v[3];
    tm.tm_min = v[4];
    tm.tm_sec = v[5];
    tm.tm_isdst = -1;
    std::tm check = tm;
    const time_t t = std::mktime(&check);
    if (t == time_t(-1) || v[1] < 1 || v[1] > 12 || check.tm_mday != v[2] || check.tm_mon != v[1] - 1 ||
        v[3] > 23 || v[4] > 59 || v[5] > 59)
        return {kStatusRefused, {}, "(no such date and time)"};
    char text[64];
    std::snprintf(text, sizeof text, "clock set to %02d/%02d/%02d %02d:%02d:%02d", v[0], v[1], v[2], v[3], v[4],
                  v[5]);
    std::lock_guard<std::mutex> g(mu);
    clockOffset = (long long)t - (long long)std::time(nullptr);
    return {0, {}, text};
}

Outcome Simulator::Impl::receiveLogo(const std::vector<uint8_t> &data)
{
    // Command data: a zero byte, then the work file: 00, GS * 48 16, 6144 image bytes,
    // GS / 0.
    static const uint8_t head[] = {0x00, 0x1D, 0x2A, 0x30, 0x10};
    static const uint8_t tail[] = {0x1D, 0x2F, 0x00};
    if (data.size() != kWorkFileSize + 1 || data[0] != 0x00 ||
        !std::equal(std::begin(head), std::end(head), data.begin() + 1) ||
        !std::equal(std::begin(tail), std::end(tail), data.end() - 3))
        return {kStatusRefused, {}, "logo refused: not a work file (" + std::to_string(data.size()) + " bytes)"};
    std::vector<uint8_t> file(data.begin() + 1, data.end());
    std::string note = "logo received";
    if (!opt.outDir.empty()) {
        const std::string imp = opt.outDir + "/received-logo.imp";
        const std::string png = opt.outDir + "/received-logo.png";
        if (platform::writeFileAtomically(imp, std::string(file.begin(), file.end())) &&
            writeLogoPng(png, file.data()))
            note += " -> " + imp + ", " + png;
        else
            note += " (could not write into " + opt.outDir + ")";
    }
    std::lock_guard<std::mutex> g(mu);
    logo = std::move(file);
    ++logos;
    return {0, {}, note};
}

Outcome Simulator::Impl::getMfp(const std::vector<uint8_t> &data)
{
    if (data.size() != 2)
        return {kStatusRefused, {}, "(kind needs 2 bytes)"};
    const int kind = data[0] << 8 | data[1];
    std::lock_guard<std::mutex> g(mu);
    std::vector<uint8_t> out(data);
    if (kind == 0)
        out.insert(out.end(), mfp.begin(), mfp.begin() + 110);
    else if (kind == 1 || kind == 2)
        out.push_back(mfp[109 + size_t(kind)]);
    else
        return {kStatusRefused, {}, "(unknown MFP kind)"};
    return {0, out, "MFP kind " + std::to_string(kind)};
}

Outcome Simulator::Impl::setMfp(const std::vector<uint8_t> &data)
{
    if (data.size() < 2)
        return {kStatusRefused, {}, "(kind needs 2 bytes)"};
    const int kind = data[0] << 8 | data[1];
    std::lock_guard<std::mutex> g(mu);
    if (kind == 0 && data.size() == 112)
        std::copy(data.begin() + 2, data.end(), mfp.begin());
    else if ((kind == 1 || kind == 2) && data.size() == 3)
        mfp[109 + size_t(kind)] = data[2];
    else
        return {kStatusRefused, {}, "(wrong MFP kind or size)"};
    return {0, {}, "MFP kind " + std::to_string(kind) + " set"};
}

std::vector<uint8_t> Simulator::handleRequestBytes(const uint8_t *bytes, size_t length)
{
    std::vector<uint8_t> out;
    if (d->rawClosed)
        return out;
    Impl::Session &s = d->rawSession;
    s.in.insert(s.in.end(), bytes, bytes + length);
    if (!d->takeFrames(s, Impl::Sink{-1, &out}))
        d->rawClosed = true;
    return out;
}

// ---------------------------------------------------------------------------------------
// State access

void Simulator::setFaults(const Faults &faults)
{
    auto copy = std::make_shared<const Faults>(faults);
    std::lock_guard<std::mutex> g(d->mu);
    d->faults = std::move(copy);
}

std::vector<std::vector<uint8_t>> Simulator::requests() const
{
    std::lock_guard<std::mutex> g(d->mu);
    return d->requests;
}

int Simulator::exchanges() const
{
    std::lock_guard<std::mutex> g(d->mu);
    return d->exchangeCount;
}

std::string Simulator::deviceNumber() const
{
    std::lock_guard<std::mutex> g(d->mu);
    return d->deviceNumber;
}

long long Simulator::clockOffset() const
{
    std::lock_guard<std::mutex> g(d->mu);
    return d->clockOffset;
}

void Simulator::setClockOffset(long long seconds)
{
    std::lock_guard<std::mutex> g(d->mu);
    d->clockOffset = seconds;
}

std::array<uint8_t, kMfpSetSize> Simulator::mfpParameters() const
{
    std::lock_guard<std::mutex> g(d->mu);
    return d->mfp;
}

void Simulator::setMfpParameters(const std::array<uint8_t, kMfpSetSize> &set)
{
    std::lock_guard<std::mutex> g(d->mu);
    d->mfp = set;
}

std::vector<uint8_t> Simulator::receivedLogo() const
{
    std::lock_guard<std::mutex> g(d->mu);
    return d->logo;
}

int Simulator::logosReceived() const
{
    std::lock_guard<std::mutex> g(d->mu);
    return d->logos;
}

} // namespace vendorsim
