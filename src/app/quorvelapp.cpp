#include "app/quorvelapp.h"

#include "app/quorveldlg.h"
#include "comm/socket.h"
#include "platform/codepage.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "texts/comm.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>

namespace {

std::string applicationNameOfProcess()
{
    QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    QString name = QFileInfo(path).completeBaseName();
    return name.isEmpty() ? std::string("quorvel") : name.toStdString();
}

bool parsePort(const QString &text, uint16_t &port)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < 1 || v > 65535 || text.startsWith(QLatin1Char('+')))
        return false;
    port = uint16_t(v);
    return true;
}

} // namespace

CQuorvelApp::CQuorvelApp() : m_appName(applicationNameOfProcess())
{
    // The vendor object's own messages (the logo transfer's file messages) are boxes.
    m_vender.SetMessageSink([](const std::string &text, VenderMessageIcon icon) {
        platform::messageBox(text, icon == VenderMessageIcon::Information ? platform::MsgIcon::Information
                                   : icon == VenderMessageIcon::Stop      ? platform::MsgIcon::Stop
                                                                          : platform::MsgIcon::Exclamation);
    });
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationName(QString::fromStdString(m_appName));
}

CQuorvelApp::~CQuorvelApp() = default;

const char *CQuorvelApp::Usage()
{
    return "Usage: quorvel [--host ADDR] [--port N]\n"
           "\n"
           "  --host ADDR   address of the vendor, numeric IPv4 or IPv6 (default 127.0.0.1)\n"
           "  --port N      TCP port of the vendor (default 9004)\n"
           "  --help        this text\n"
           "  --version     the version of quorvel\n"
           "\n"
           "The settings file quorvel.ini is read from the working directory.\n";
}

CQuorvelApp::ParseResult CQuorvelApp::ParseCommandLine(const QStringList &arguments, std::string &message)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        QString name = arg;
        QString value;
        bool hasValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            name = arg.section(QLatin1Char('='), 0, 0);
            value = arg.section(QLatin1Char('='), 1);
            hasValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            message = Usage();
            return ParseResult::Help;
        }
        if (name != QLatin1String("--host") && name != QLatin1String("--port")) {
            message = "quorvel: unknown argument \"" + arg.toStdString() + "\"\n" + Usage();
            return ParseResult::Error;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                message = "quorvel: " + name.toStdString() + " needs a value\n" + Usage();
                return ParseResult::Error;
            }
            value = arguments[++i];
        }
        if (name == QLatin1String("--host")) {
            if (!IsNumericAddress(value.toStdString())) {
                message = "quorvel: --host takes a numeric IPv4 or IPv6 address, not \"" + value.toStdString() + "\"\n";
                return ParseResult::Error;
            }
            m_host = value.toStdString();
        } else if (!parsePort(value, m_port)) {
            message = "quorvel: --port takes a number from 1 to 65535, not \"" + value.toStdString() + "\"\n";
            return ParseResult::Error;
        }
    }
    return ParseResult::Run;
}

bool CQuorvelApp::StartSocketLayer()
{
    // Sockets need no start-up here beyond this: a peer that goes away while we write
    // must give a failed write, not end the process.
    return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

platform::InstanceGuard::Result CQuorvelApp::TakeInstanceGuard()
{
    m_mutex = std::make_unique<platform::InstanceGuard>();
    return m_mutex->acquire(m_appName);
}

void CQuorvelApp::LoadSettings()
{
    // Without a readable working directory the settings file is looked for by a relative
    // name. (Filled in by count and character: GCC 12 at -O3 misreads the copy of a literal
    // into a cleared string as an overlapping one.)
    std::string dir;
    if (!platform::currentDirectory(dir))
        dir.assign(1, '.');
    m_workingDir = std::move(dir);
    // Built whole, whatever the length of the working directory.
    const bool slash = !m_workingDir.empty() && m_workingDir.back() == '/';
    m_settingsPath = m_workingDir + std::string(slash ? "" : "/") + std::string(kSettingsFileName);

    const std::string &ini = m_settingsPath;
    COMPORT = platform::readProfileString(ini, "PC", "COMPORT", "COM1", 10);
    COMRATE = platform::readProfileInt(ini, "PC", "COMRATE", 9600);
    PRTTYPE = platform::readProfileInt(ini, "VENDER", "PRTTYPE", 0);
    SHOPLOGO = platform::readProfileInt(ini, "VENDER", "SHOPLOGO", 0) != 0;
}

void CQuorvelApp::RunMainDialog()
{
    CQuorvelDlg dlg(*this);
    m_pMainWnd = &dlg;
    dlg.runMain();
    m_pMainWnd = nullptr;
}

bool CQuorvelApp::InitInstance()
{
    if (!StartSocketLayer()) {
        platform::messageBox(platform::cp932FromUtf8("ソケット通信の初期化が失敗しました。"));
        m_exitCode = 1;
        return false;
    }

    switch (TakeInstanceGuard()) {
    case platform::InstanceGuard::Result::Acquired:
        break;
    case platform::InstanceGuard::Result::AlreadyRunning:
        platform::messageBox(platform::cp932FromUtf8("多重起動はできません"));
        m_exitCode = 1;
        return false;
    case platform::InstanceGuard::Result::Failed:
        platform::messageBox(platform::cp932FromUtf8("多重起動の確認ができないため、起動を中止します。"));
        m_exitCode = 1;
        return false;
    }

    LoadSettings();
    RunMainDialog();
    return false;
}

int CQuorvelApp::ExitInstance()
{
    m_mutex.reset();
    return m_exitCode;
}

bool CQuorvelApp::SaveSettings()
{
    const std::string &ini = m_settingsPath;
    return platform::writeProfileString(ini, "PC", "COMPORT", COMPORT) &&
           platform::writeProfileString(ini, "PC", "COMRATE", std::to_string(COMRATE)) &&
           platform::writeProfileString(ini, "VENDER", "PRTTYPE", std::to_string(PRTTYPE));
}

void CQuorvelApp::OpenVender()
{
    m_vender.SetAddress(m_host, m_port);
    if (!m_vender.OpenSession(1))
        platform::messageBox(commtext::kMsgNoConnection);
}

void CQuorvelApp::CloseVender()
{
    m_vender.CloseSession();
}
