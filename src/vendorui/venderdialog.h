#pragma once
// The base of the dialogs that talk to the vendor. It owns the dialog's runner, opens the
// vendor session as the dialog comes up and closes it when the dialog goes:
//
//   OnInitDialog: the template's initialisation, then BeforeOpening() (a dialog clears what
//   it shows of the vendor there), then the session opens on the worker (the operator is
//   told when the vendor cannot be reached) and AfterOpening() runs once it has.
//   OnDestroy: ends whatever still runs for the dialog at once and closes the session
//   behind it.
//
// A session without a worker is allowed: every operation then fails at once.
#include "platform/ui/dialog.h"
#include "vendorui/venderrunner.h"
#include "vendorui/vendersession.h"

class CVenderDialog : public platform::Dialog {
    Q_OBJECT
public:
    CVenderDialog(int templateId, VenderSession session);

    // An operation of this dialog runs or waits on the worker.
    bool VenderBusy() const { return m_runner->Busy(); }

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

    virtual void BeforeOpening() {}
    virtual void AfterOpening() {}

    CVenderRunner *m_runner = nullptr; // a child of the dialog
};
