#pragma once
// What a dialog that talks to the vendor needs: the worker that carries out the process's
// vendor operations, and the two operations that open the vendor session and close it, to
// be run on that worker. The application object hands one of these to each such dialog, so
// the dialogs do not depend on the application layer; tests make one without it.
#include "comm/venderworker.h"

#include <cstdint>
#include <functional>
#include <string>

struct VenderSession {
    CVenderWorker *worker = nullptr; // null: every operation fails at once
    std::function<bool(COrvathVender &)> open;  // true when the connection is open
    std::function<void(COrvathVender &)> close;
};

// Connects `vender` to the given address and opens its session (the opening's limits, one
// attempt). Runs wherever the vendor object's operations run.
inline bool ConnectVender(COrvathVender &vender, const std::string &host, uint16_t port)
{
    vender.SetAddress(host, port);
    return vender.OpenSession(1);
}

// The session of the vendor at host:port on `worker`: the opening connects (ConnectVender),
// the closing closes the vendor's session.
inline VenderSession MakeVenderSession(CVenderWorker &worker, const std::string &host, uint16_t port)
{
    return {&worker, [host, port](COrvathVender &v) { return ConnectVender(v, host, port); },
            [](COrvathVender &v) { v.CloseSession(); }};
}
