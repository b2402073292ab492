#include "app/quorvelapp.h"

#include "app/quorveldlg.h"
#include "comm/port.h"
#include "comm/socket.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/ui/filedialog.h"
#include "platform/ui/messagebox.h"
#include "texts/comm.h"
#include "vendorui/vendersession.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// Longest address text taken from the settings file: a numeric IPv6 address has at most 45
// characters, so a value this long (perhaps cut) is never an address.
constexpr std::size_t kAddressReadLimit = 64;

std::string applicationNameOfProcess()
{
    QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    QString name = QFileInfo(path).completeBaseName();
    return name.isEmpty() ? std::string("quorvel") : name.toStdString();
}

} // namespace

CQuorvelApp::CQuorvelApp() : m_appName(applicationNameOfProcess())
{
    // The vendor object's own messages (the logo transfer's file messages) are boxes.
    m_vender.SetMessageSink([](const std::string &text, VenderMessageIcon icon) {
        platform::messageBox(text,
                             icon == VenderMessageIcon::Information ? platform::MsgIcon::Information
                                 : icon == VenderMessageIcon::Stop  ? platform::MsgIcon::Stop
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
           "  --host ADDR   address of the vendor, numeric IPv4 or IPv6, for this run\n"
           "                (default: ADDRESS in quorvel.ini, else 127.0.0.1)\n"
           "  --port N      TCP port of the vendor, 1-65535, for this run\n"
           "                (default: PORT in quorvel.ini, else 9004)\n"
           "  --help        this text\n"
           "  --version     the version of quorvel\n"
           "\n"
           "The settings file quorvel.ini is read from the working directory. The vendor's\n"
           "address is kept there as ADDRESS and PORT in section [VENDER], which the vendor\n"
           "address dialog of the window menu writes.\n";
}

bool CQuorvelApp::IsVenderAddress(const std::string &text)
{
    // A NUL would end the text early for the address parser and let junk after it pass.
    return text.find('\0') == std::string::npos && IsNumericAddress(text);
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
            if (!IsVenderAddress(value.toStdString())) {
                message =
                    "quorvel: --host takes a numeric IPv4 or IPv6 address, not \"" + value.toStdString() + "\"\n";
                return ParseResult::Error;
            }
            m_host = value.toStdString();
            m_hostGiven = true;
        } else {
            if (!ParsePort(value.toStdString(), m_port)) {
                message = "quorvel: --port takes a number from 1 to 65535, not \"" + value.toStdString() + "\"\n";
                return ParseResult::Error;
            }
            m_portGiven = true;
        }
    }
    return ParseResult::Run;
}

bool CQuorvelApp::StartSocketLayer()
{
    return StartSystemSockets();
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

    // The vendor's address: what the command line gave stays; a malformed value in the file
    // is passed over and the default (or the command line's value) is kept.
    if (!m_hostGiven) {
        const std::string address =
            platform::readProfileString(ini, "VENDER", "ADDRESS", "", kAddressReadLimit + 1);
        if (address.size() < kAddressReadLimit && IsVenderAddress(address))
            m_host = address;
    }
    if (!m_portGiven) {
        uint16_t port = 0;
        if (ParsePort(platform::readProfileString(ini, "VENDER", "PORT", "", 16), port))
            m_port = port;
    }
}

void CQuorvelApp::RunMainDialog()
{
    CQuorvelDlg dlg(*this);
    m_mainWindow = &dlg;
    dlg.runMain();
    m_mainWindow = nullptr;
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

void CQuorvelApp::SetVenderAddress(const std::string &host, uint16_t port)
{
    m_host = host;
    m_port = port;
}

bool CQuorvelApp::SaveVenderAddress()
{
    return platform::writeProfileStrings(
        m_settingsPath, {{"VENDER", "ADDRESS", m_host}, {"VENDER", "PORT", std::to_string(m_port)}});
}

void CQuorvelApp::OpenVender()
{
    if (!ConnectVender(m_vender, m_host, m_port))
        platform::messageBox(commtext::kMsgNoConnection);
}

CVenderWorker &CQuorvelApp::VenderWorker()
{
    if (!m_worker)
        m_worker = std::make_unique<CVenderWorker>(m_vender);
    return *m_worker;
}

void CQuorvelApp::CloseVender()
{
    m_vender.CloseSession();
}
