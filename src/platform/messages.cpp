#include "platform/messages.h"

#include "texts/clock.h"
#include "texts/files.h"
#include "texts/logo.h"

using platform::MsgIcon;

OperatorMessage MakeMessage(const char *cp932, MsgIcon icon)
{
    return {cp932, icon};
}

OperatorMessage WrongFileMessage()
{
    return MakeMessage(filetext::kMsgWrongFile, MsgIcon::Stop);
}

OperatorMessage FileWrittenMessage()
{
    return MakeMessage(filetext::kMsgFileWritten, MsgIcon::Information);
}

OperatorMessage CannotCreateFileMessage()
{
    return MakeMessage(filetext::kMsgCannotCreateFile, MsgIcon::Exclamation);
}

OperatorMessage WorkFileUnusableMessage()
{
    return MakeMessage(logotext::kMsgWorkFileUnusable, MsgIcon::Exclamation);
}

const std::string &OverwriteQuestion()
{
    static const std::string question = filetext::kMsgOverwrite;
    return question;
}

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
