#pragma once
// What the logo file operations tell the operator. Each operation returns an outcome; the
// dialog shows the outcome's message box as given here (caption: the application name, an
// OK button) and decides nothing about texts or icons itself.
#include "platform/messagebox.h"

#include <string>

struct LogoMessage {
    std::string text; // CP932; empty when nothing is shown
    platform::MsgIcon icon = platform::MsgIcon::Exclamation;

    bool shown() const { return !text.empty(); }
};

// Shows `message` with an OK button through the message box service; nothing when the
// outcome has no message.
void ShowLogoMessage(const LogoMessage &message);

// "異なるファイルです！" with the stop icon: a file whose first line is not what its kind
// needs (the layout file, and the MFP parameter file through MatchKeyword).
LogoMessage WrongFileMessage();

// "ファイルを記録しました", information: a layout file or C header was written.
LogoMessage FileWrittenMessage();

// "ファイルが作れません！", exclamation: a layout file or C header could not be written.
LogoMessage CannotCreateFileMessage();

// "作業ファイルが開けません", exclamation: the work file could not be written or read.
LogoMessage WorkFileUnusableMessage();

// Asks "同じ名前のファイルが存在します。\n上書しますか？" (question icon, Yes and No) and
// returns true only when the operator answers Yes.
bool AskOverwrite();

// Builds a message from a text of the catalogue (CP932).
LogoMessage MakeLogoMessage(const char *cp932, platform::MsgIcon icon);
