#pragma once
// The application's vendor object and its open and close operations, as handed to each
// dialog that talks to the vendor.
#include "app/quorvelapp.h"
#include "vendorui/vendersession.h"

// The address is the one in force when the dialog is made; it cannot change while a
// vendor dialog is open.
inline VenderSession VenderSessionOf(CQuorvelApp &app)
{
    return MakeVenderSession(app.VenderWorker(), app.host(), app.port());
}
