#include "clock/reportfailure.h"

#include "platform/messagebox.h"
#include "texts/clock.h"

const std::string &FailureMessageTemplate()
{
    static const std::string text = clocktext::kFailureTemplate;
    return text;
}

std::string FailureMessage(const std::string &title)
{
    std::string text = FailureMessageTemplate();
    const std::string::size_type at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, title);
    return text;
}

bool ReportFailure(bool success, const std::string &title)
{
    if (!success)
        platform::messageBox(FailureMessage(title), platform::MsgIcon::Stop, platform::MsgButtons::Ok);
    return success;
}
