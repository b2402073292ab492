#pragma once
// What the operator is told, as data: the text and the icon of a box, without the box. The
// models (layout, work file, MFP parameter file) return these and the dialogs show them
// (platform/ui/messagebox.h: ShowMessage); the command line prints the same texts.
#include <string>

namespace platform {

// A box for which the caller names no icon shows the exclamation icon.
enum class MsgIcon { Information, Exclamation, Stop, Question };

} // namespace platform

struct OperatorMessage {
    std::string text; // CP932; empty when nothing is shown
    platform::MsgIcon icon = platform::MsgIcon::Exclamation;

    bool shown() const { return !text.empty(); }
};

// Builds a message from a text of the catalogue (CP932).
OperatorMessage MakeMessage(const char *cp932, platform::MsgIcon icon);

// "異なるファイルです！" with the stop icon: a file whose first line is not what its kind
// needs (the layout file, and the MFP parameter file through MatchKeyword).
OperatorMessage WrongFileMessage();

// "ファイルを記録しました", information: a layout file or C header was written.
OperatorMessage FileWrittenMessage();

// "ファイルが作れません！", exclamation: a layout file or C header could not be written.
OperatorMessage CannotCreateFileMessage();

// "作業ファイルが開けません", exclamation: the work file could not be written or read.
OperatorMessage WorkFileUnusableMessage();

// The question asked before a file is overwritten (CP932):
// "同じ名前のファイルが存在します。\n上書しますか？".
const std::string &OverwriteQuestion();

// The failure report of a vendor operation: one template with a single insertion point,
// "%s", which receives the operation's title.
// The failure message template (CP932).
const std::string &FailureMessageTemplate();

// The template with `title` (CP932) in place of its insertion point. The title is
// inserted as it is: a '%' in it is not taken as another insertion point.
std::string FailureMessage(const std::string &title);
