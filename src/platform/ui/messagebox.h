#pragma once
// Message boxes. Every box of the program goes through messageBox(), which hands it to
// the installed service: normally the real modal box (caption = the application name,
// QCoreApplication::applicationName()), in tests a scripted double that records each box
// and answers from a script, and in scripted runs of the program a log file
// (QUORVEL_MESSAGEBOX_LOG, see installMessageBoxServiceFromEnvironment).
#include "platform/messages.h"

#include <deque>
#include <string>
#include <vector>

class QWidget;

namespace platform {

enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

const char *toString(MsgIcon icon);
const char *toString(MsgButtons buttons);
const char *toString(MsgResult result);

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // `text` is CP932; "\n" breaks the line.
    virtual MsgResult show(const std::string &text, MsgIcon icon, MsgButtons buttons) = 0;
};

// Shows a box through the installed service and returns the button pressed (closing a
// Yes/No box without choosing counts as No).
MsgResult messageBox(const std::string &text, MsgIcon icon = MsgIcon::Exclamation,
                     MsgButtons buttons = MsgButtons::Ok);

// Installs `service` (not owned) and returns the one it replaces; nullptr restores the
// real boxes.
MessageBoxService *setMessageBoxService(MessageBoxService *service);

// The real modal box, owned by the active window.
class RealMessageBoxes : public MessageBoxService {
public:
    MsgResult show(const std::string &text, MsgIcon icon, MsgButtons buttons) override;
};

// Test double: records every box and answers from a script. When the script is empty,
// an OK box answers Ok and a Yes/No box answers `fallback` (No unless set).
class ScriptedMessageBoxes : public MessageBoxService {
public:
    struct Box {
        std::string text; // CP932
        MsgIcon icon;
        MsgButtons buttons;
    };

    ScriptedMessageBoxes() { m_previous = setMessageBoxService(this); }
    ~ScriptedMessageBoxes() override { setMessageBoxService(m_previous); }
    ScriptedMessageBoxes(const ScriptedMessageBoxes &) = delete;
    ScriptedMessageBoxes &operator=(const ScriptedMessageBoxes &) = delete;

    MsgResult show(const std::string &text, MsgIcon icon, MsgButtons buttons) override;

    void answer(MsgResult r) { m_script.push_back(r); }
    void setFallback(MsgResult r) { m_fallback = r; }
    const std::vector<Box> &boxes() const { return m_boxes; }
    void clear() { m_boxes.clear(); }

private:
    MessageBoxService *m_previous = nullptr;
    std::vector<Box> m_boxes;
    std::deque<MsgResult> m_script;
    MsgResult m_fallback = MsgResult::No;
};

// Appends one line per box to a file: "<icon> <buttons> <text as UTF-8, line breaks as \n>",
// and answers Ok (Yes for a Yes/No box). Lets a script run the real program without a
// person to press buttons.
class LoggingMessageBoxes : public MessageBoxService {
public:
    explicit LoggingMessageBoxes(std::string path) : m_path(std::move(path)) {}
    MsgResult show(const std::string &text, MsgIcon icon, MsgButtons buttons) override;

private:
    std::string m_path;
};

// When the environment variable QUORVEL_MESSAGEBOX_LOG names a file, installs a
// LoggingMessageBoxes on it for the rest of the process and returns true.
bool installMessageBoxServiceFromEnvironment();

} // namespace platform

// Shows `message` with an OK button through the message box service; nothing when the
// message is empty.
void ShowMessage(const OperatorMessage &message);

// Asks OverwriteQuestion() (question icon, Yes and No) and returns true only when the
// operator answers Yes.
bool AskOverwrite();
