#pragma once
// What a dialog that talks to the vendor needs of the application: the process's vendor
// object, and the two operations that open its connection (telling the operator when it
// cannot be opened) and close it. The application object hands one of these to each such
// dialog, so the dialogs do not depend on the application layer.
#include "comm/vender.h"

#include <functional>

struct VenderSession {
    COrvathVender *vender = nullptr;
    std::function<void()> open;  // OpenVender
    std::function<void()> close; // CloseVender
};
