#include "platform/ui/messagebox.h"

#include "platform/codepage.h"
#include "platform/ui/dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

RealMessageBoxes g_real;
MessageBoxService *g_service = nullptr;

MessageBoxService &service()
{
    return g_service ? *g_service : g_real;
}

} // namespace

const char *toString(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return "information";
    case MsgIcon::Exclamation: return "exclamation";
    case MsgIcon::Stop: return "stop";
    case MsgIcon::Question: return "question";
    }
    return "?";
}

const char *toString(MsgButtons buttons)
{
    return buttons == MsgButtons::YesNo ? "yesno" : "ok";
}

const char *toString(MsgResult result)
{
    switch (result) {
    case MsgResult::Ok: return "ok";
    case MsgResult::Yes: return "yes";
    case MsgResult::No: return "no";
    }
    return "?";
}

MsgResult messageBox(const std::string &text, MsgIcon icon, MsgButtons buttons)
{
    return service().show(text, icon, buttons);
}

MessageBoxService *setMessageBoxService(MessageBoxService *s)
{
    MessageBoxService *old = g_service;
    g_service = s;
    return old;
}

MsgResult RealMessageBoxes::show(const std::string &text, MsgIcon icon, MsgButtons buttons)
{
    QMessageBox box(ownerWindow());
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    box.setText(fromCp932(text));
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Stop: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == MsgButtons::YesNo) {
        QPushButton *yes = box.addButton(QString::fromUtf8("はい(&Y)"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QString::fromUtf8("いいえ(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? MsgResult::Yes : MsgResult::No;
    }
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return MsgResult::Ok;
}

MsgResult ScriptedMessageBoxes::show(const std::string &text, MsgIcon icon, MsgButtons buttons)
{
    m_boxes.push_back(Box{text, icon, buttons});
    if (!m_script.empty()) {
        MsgResult r = m_script.front();
        m_script.pop_front();
        return r;
    }
    return buttons == MsgButtons::YesNo ? m_fallback : MsgResult::Ok;
}

MsgResult LoggingMessageBoxes::show(const std::string &text, MsgIcon icon, MsgButtons buttons)
{
    QString t = fromCp932(text);
    t.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    if (FILE *f = std::fopen(m_path.c_str(), "ab")) {
        std::fprintf(f, "%s %s %s\n", toString(icon), toString(buttons), t.toUtf8().constData());
        std::fclose(f);
    }
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
}

bool installMessageBoxServiceFromEnvironment()
{
    const char *path = std::getenv("QUORVEL_MESSAGEBOX_LOG");
    if (!path || !*path)
        return false;
    static LoggingMessageBoxes logging{std::string(path)};
    setMessageBoxService(&logging);
    return true;
}

} // namespace platform

void ShowMessage(const OperatorMessage &message)
{
    if (message.shown())
        platform::messageBox(message.text, message.icon, platform::MsgButtons::Ok);
}

bool AskOverwrite()
{
    return platform::messageBox(OverwriteQuestion(), platform::MsgIcon::Question, platform::MsgButtons::YesNo) ==
           platform::MsgResult::Yes;
}
