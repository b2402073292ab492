#include "logo/logomessages.h"

#include "texts/files.h"
#include "texts/logo.h"

using platform::MsgIcon;

LogoMessage MakeLogoMessage(const char *cp932, MsgIcon icon)
{
    return {cp932, icon};
}

void ShowLogoMessage(const LogoMessage &message)
{
    if (message.shown())
        platform::messageBox(message.text, message.icon, platform::MsgButtons::Ok);
}

LogoMessage WrongFileMessage()
{
    return MakeLogoMessage(filetext::kMsgWrongFile, MsgIcon::Stop);
}

LogoMessage FileWrittenMessage()
{
    return MakeLogoMessage(filetext::kMsgFileWritten, MsgIcon::Information);
}

LogoMessage CannotCreateFileMessage()
{
    return MakeLogoMessage(filetext::kMsgCannotCreateFile, MsgIcon::Exclamation);
}

LogoMessage WorkFileUnusableMessage()
{
    return MakeLogoMessage(logotext::kMsgWorkFileUnusable, MsgIcon::Exclamation);
}

bool AskOverwrite()
{
    static const std::string question = filetext::kMsgOverwrite;
    return platform::messageBox(question, MsgIcon::Question, platform::MsgButtons::YesNo) == platform::MsgResult::Yes;
}
