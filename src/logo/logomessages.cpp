#include "logo/logomessages.h"

#include "platform/codepage.h"

LogoMessage MakeLogoMessage(const char *utf8, LogoMessageIcon icon)
{
    return {platform::cp932FromUtf8(utf8), icon};
}

LogoMessage WrongFileMessage()
{
    return MakeLogoMessage("異なるファイルです！", LogoMessageIcon::Stop);
}

LogoMessage FileWrittenMessage()
{
    return MakeLogoMessage("ファイルを記録しました", LogoMessageIcon::Information);
}

LogoMessage CannotCreateFileMessage()
{
    return MakeLogoMessage("ファイルが作れません！", LogoMessageIcon::Exclamation);
}

LogoMessage WorkFileUnusableMessage()
{
    return MakeLogoMessage("作業ファイルが開けません", LogoMessageIcon::Exclamation);
}
