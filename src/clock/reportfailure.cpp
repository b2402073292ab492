#include "clock/reportfailure.h"

#include "platform/codepage.h"
#include "platform/messagebox.h"

const std::string &FailureMessageTemplate()
{
    static const std::string text =
        platform::cp932FromUtf8("%sに失敗しました。\nベンダーとの通信を確認してください。");
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
