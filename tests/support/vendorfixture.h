#pragma once
// The tool's side of a vendor as a dialog test needs it, without the application object:
// the vendor object, the worker that carries out its operations, and the session handed to
// a dialog (MakeVenderSession), aimed at a simulated vendor on a free loopback port or at
// any loopback port the test names.
//
// Only the header of vendorui's session is used, which needs nothing but comm: the fixture
// stays widget-free.
#include "comm/vender.h"
#include "comm/venderworker.h"
#include "vendorsim/vendorsim.h"
#include "vendorui/vendersession.h"

#include <cstdint>
#include <memory>

namespace testutil {

struct VendorFixture {
    // Starts a simulated vendor with `options` (on a free loopback port, whatever they
    // say) and aims the sessions made from now on at it; false when it could not start.
    bool start(vendorsim::Options options = {});
    bool start(const vendorsim::Faults &faults);
    // Aims the sessions made from now on at `port` on 127.0.0.1.
    void pointAt(uint16_t newPort) { port = newPort; }
    // A dialog's session: opened and closed on `worker`, towards the port aimed at.
    VenderSession session() { return MakeVenderSession(worker, "127.0.0.1", port); }

    std::unique_ptr<vendorsim::Simulator> sim; // the simulated vendor, once started
    COrvathVender vender;
    CVenderWorker worker{vender}; // after `vender`: it goes first
    uint16_t port = 0;
};

} // namespace testutil
