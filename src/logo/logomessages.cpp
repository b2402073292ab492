#include "logo/logomessages.h"

#include "platform/codepage.h"

using platform::MsgIcon;

LogoMessage MakeLogoMessage(const char *utf8, MsgIcon icon)
{
    return {platform::cp932FromUtf8(utf8), icon};
}

void ShowLogoMessage(const LogoMessage &message)
{
    if (message.shown())
        platform::messageBox(message.text, message.icon, platform::MsgButtons::Ok);
}

LogoMessage WrongFileMessage()
{
    return MakeLogoMessage("異なるファイルです！", MsgIcon::Stop);
}

LogoMessage FileWrittenMessage()
{
    return MakeLogoMessage("ファイルを記録しました", MsgIcon::Information);
}

LogoMessage CannotCreateFileMessage()
{
    return MakeLogoMessage("ファイルが作れません！", MsgIcon::Exclamation);
}

LogoMessage WorkFileUnusableMessage()
{
    return MakeLogoMessage("作業ファイルが開けません", MsgIcon::Exclamation);
}

bool AskOverwrite()
{
    static const std::string question = platform::cp932FromUtf8("同じ名前のファイルが存在します。\n上書しますか？");
    return platform::messageBox(question, MsgIcon::Question, platform::MsgButtons::YesNo) == platform::MsgResult::Yes;
}
