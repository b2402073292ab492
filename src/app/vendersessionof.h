#pragma once
// The application's vendor object and its open and close operations, as handed to each
// dialog that talks to the vendor.
#include "app/quorvelapp.h"
#include "clock/vendersession.h"

inline VenderSession VenderSessionOf(CQuorvelApp &app)
{
    return {&app.Vender(), [&app] { app.OpenVender(); }, [&app] { app.CloseVender(); }};
}
