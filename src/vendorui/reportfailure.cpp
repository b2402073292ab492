#include "vendorui/reportfailure.h"

#include "platform/ui/messagebox.h"

bool ReportFailure(bool success, const std::string &title)
{
    if (!success)
        platform::messageBox(FailureMessage(title), platform::MsgIcon::Stop, platform::MsgButtons::Ok);
    return success;
}
