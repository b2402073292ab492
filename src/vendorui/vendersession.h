#pragma once
// What a dialog that talks to the vendor needs of the application: the worker that carries
// out the process's vendor operations, and the two operations that open the vendor
// connection (OpenVender) and close it (CloseVender), to be run on that worker. The
// application object hands one of these to each such dialog, so the dialogs do not depend
// on the application layer.
#include "comm/venderworker.h"

#include <functional>

struct VenderSession {
    CVenderWorker *worker = nullptr;
    std::function<bool(COrvathVender &)> open;  // true when the connection is open
    std::function<void(COrvathVender &)> close;
};
