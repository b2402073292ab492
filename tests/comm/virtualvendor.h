#pragma once
// The simulated vendor over the in-memory connection, on the virtual clock. The simulator
// decides what to answer (its state and its faults that change bytes); this decides when:
// the faults that are about time (delays, pieces, silence, a close mid-reply) are played
// out on the virtual clock instead of the simulator's real one. A test runs the tool's
// side with net as its backend; the tool's waits then cost no real time.
#include "comm/memorynet.h"
#include "support/testutil.h"
#include "vendorsim/vendorsim.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace testutil {

class VirtualVendor {
public:
    explicit VirtualVendor(const vendorsim::Faults &faults = {}, std::string outDir = {},
                           CVirtualClock::Duration calendarStart = CVirtualClock::kDefaultCalendarStart)
        : net({}, calendarStart), sim(options(std::move(outDir)))
    {
        setFaults(faults);
        net.SetScript(
            {[this](CMemoryLink &link) { return connects ? connects(link.Index()) : CConnectAnswer{}; },
             [this](CMemoryLink &link, const uint8_t *bytes, size_t length) { answer(link, bytes, length); }});
    }
    VirtualVendor(const VirtualVendor &) = delete;
    VirtualVendor &operator=(const VirtualVendor &) = delete;

    // The timing faults are kept here; the rest go to the simulator.
    void setFaults(const vendorsim::Faults &faults)
    {
        m_timing = faults;
        vendorsim::Faults bytesOnly = faults;
        bytesOnly.delayMs = 0;
        bytesOnly.pieces.clear();
        bytesOnly.closeMidReply.clear();
        sim.setFaults(bytesOnly);
    }

    int64_t nowMs() const { return net.VirtualClock().NowMs(); }

    // Every request the tool sent, as "connection@ms bytes" ("2@1000 01 01 01 00 00 01").
    std::vector<std::string> framesSeen() const
    {
        std::vector<std::string> out;
        for (const CMemoryNet::Sent &s : net.SentLog()) {
            std::string line = std::to_string(s.link) + "@" + std::to_string(s.atMs);
            for (uint8_t b : s.bytes) {
                char hexByte[4];
                std::snprintf(hexByte, sizeof hexByte, " %02X", b);
                line += hexByte;
            }
            out.push_back(line);
        }
        return out;
    }

    // What the n-th connect (from 1) gets; null accepts every one at once.
    std::function<CConnectAnswer(int index)> connects;
    CMemoryNet net;
    vendorsim::Simulator sim; // never started: it answers the bytes handed to it

private:
    static vendorsim::Options options(std::string outDir)
    {
        vendorsim::Options o;
        o.port = 0;
        o.outDir = std::move(outDir);
        return o;
    }
    static bool applies(const std::set<int> &on, int n) { return on.empty() || on.count(n) > 0; }

    void answer(CMemoryLink &link, const uint8_t *bytes, size_t length)
    {
        const Bytes reply = sim.handleRequestBytes(bytes, length);
        const int n = sim.exchanges();
        if (reply.empty())
            return; // no reply (or no complete request yet)
        const vendorsim::Faults &fl = m_timing;
        int64_t at = link.NowMs();
        if (fl.delayMs > 0 && applies(fl.delayOn, n))
            at += fl.delayMs;
        if (fl.closeMidReply.count(n)) {
            link.Deliver(at, reply.data(), std::max<size_t>(1, reply.size() / 2));
            link.CloseAt(at);
            return;
        }
        if (fl.pieces.empty() || !applies(fl.piecesOn, n)) {
            link.Deliver(at, reply);
            return;
        }
        size_t off = 0;
        for (size_t i = 0; i <= fl.pieces.size() && off < reply.size(); ++i) {
            const size_t take =
                i < fl.pieces.size() ? std::min(fl.pieces[i], reply.size() - off) : reply.size() - off;
            if (off)
                at += fl.pieceGapMs;
            link.Deliver(at, reply.data() + off, take);
            off += take;
        }
    }

    vendorsim::Faults m_timing;
};

} // namespace testutil
