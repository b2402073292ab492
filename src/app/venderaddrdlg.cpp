#include "app/venderaddrdlg.h"

#include "app/quorvelapp.h"
#include "comm/port.h"
#include "comm/vender.h"
#include "platform/ui/controls.h"
#include "platform/ui/messagebox.h"
#include "texts/app.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

using platform::MsgIcon;

// A worker's way back to the dialog. The dialog clears `dialog` under the lock before it
// goes, and a worker posts its result only under the same lock while `dialog` is set, so
// the dialog is alive whenever something is posted to it; a result posted but not yet
// delivered is dropped with the dialog's other events when it goes.
struct CVenderAddrDlg::ResultChannel {
    std::mutex mutex;
    QPointer<CVenderAddrDlg> dialog;
};

namespace {

std::atomic<int> g_testsUnderWay{0};

std::string trimmed(const std::string &s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t from = 0;
    std::size_t to = s.size();
    while (from < to && blank(s[from]))
        ++from;
    while (to > from && blank(s[to - 1]))
        --to;
    return s.substr(from, to - from);
}

std::string format(const char *cp932Format, const std::string &text)
{
    std::string out(cp932Format);
    const std::size_t at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, text);
    return out;
}

// The device number as the operator can read it: six printable ASCII characters as they
// are, six spaces as "not set", anything else as its bytes in hexadecimal.
std::string numberText(const char *number)
{
    bool printable = true;
    bool blank = true;
    for (std::size_t i = 0; i < kDeviceNumberLength; ++i) {
        const auto c = static_cast<unsigned char>(number[i]);
        printable = printable && c >= 0x20 && c < 0x7F;
        blank = blank && c == ' ';
    }
    if (blank)
        return apptext::kTestNumberUnset;
    if (printable)
        return std::string(number, kDeviceNumberLength);
    std::string out = apptext::kTestNumberBytes;
    for (std::size_t i = 0; i < kDeviceNumberLength; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", static_cast<unsigned char>(number[i]));
        out += hex;
    }
    return out;
}

} // namespace

int CVenderAddrDlg::TestsUnderWay()
{
    return g_testsUnderWay.load();
}

const platform::CommandTable<CVenderAddrDlg> CVenderAddrDlg::kCommands = {
    {IDC_TEST, platform::Notify::Clicked, &CVenderAddrDlg::OnTest},
};

CVenderAddrDlg::CVenderAddrDlg(CQuorvelApp &app)
    : platform::Dialog(IDD), m_app(app), m_channel(std::make_shared<ResultChannel>())
{
    setCommandTable(kCommands);
    m_editAddress = item<QLineEdit>(IDC_ADDRESS);
    m_editPort = item<QLineEdit>(IDC_PORT);
    m_editResult = item<QPlainTextEdit>(IDC_RESULT);
    // Read-only, but the operator can still select the result and copy it with the keys.
    if (m_editResult)
        m_editResult->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_channel->dialog = this;
}

CVenderAddrDlg::~CVenderAddrDlg()
{
    {
        const std::lock_guard<std::mutex> lock(m_channel->mutex);
        m_channel->dialog.clear();
    }
    destroyWindow();
}

bool CVenderAddrDlg::OnInitDialog()
{
    platform::Dialog::OnInitDialog();
    platform::setWindowText(m_editAddress, m_app.host());
    platform::setWindowText(m_editPort, std::to_string(m_app.port()));
    platform::setWindowText(m_editResult, std::string());
    return true;
}

bool CVenderAddrDlg::TakeAddress(std::string &host, uint16_t &port)
{
    const auto refuse = [](const char *message, QLineEdit *field) {
        platform::messageBox(message, MsgIcon::Exclamation);
        if (field) {
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
        }
        return false;
    };
    host = trimmed(platform::windowText(m_editAddress));
    if (!CQuorvelApp::IsVenderAddress(host))
        return refuse(apptext::kMsgBadAddress, m_editAddress);
    if (!ParsePort(trimmed(platform::windowText(m_editPort)), port))
        return refuse(apptext::kMsgBadPort, m_editPort);
    return true;
}

void CVenderAddrDlg::OnOK()
{
    std::string host;
    uint16_t port = 0;
    if (!TakeAddress(host, port))
        return;
    // The address holds for this run even when it cannot be kept for the next one.
    m_app.SetVenderAddress(host, port);
    if (!m_app.SaveVenderAddress())
        platform::messageBox(apptext::kMsgSaveFailed, MsgIcon::Exclamation);
    platform::Dialog::OnOK();
}

void CVenderAddrDlg::OnTest()
{
    if (m_testRunning)
        return;
    std::string host;
    uint16_t port = 0;
    if (!TakeAddress(host, port))
        return;

    m_testRunning = true;
    enableItem(IDC_TEST, false);
    ShowResult(apptext::kTestRunning);
    ++g_testsUnderWay;
    try {
        // The worker owns what it uses (its vendor object lives in RunConnectionTest, the
        // channel is shared), so it may outlive the dialog.
        std::thread([channel = m_channel, host, port] {
            std::string result = RunConnectionTest(host, port);
            {
                const std::lock_guard<std::mutex> lock(channel->mutex);
                if (CVenderAddrDlg *dlg = channel->dialog.data()) {
                    QMetaObject::invokeMethod(
                        dlg, [dlg, text = std::move(result)] { dlg->TestFinished(text); }, Qt::QueuedConnection);
                }
            }
            --g_testsUnderWay;
        }).detach();
    } catch (const std::system_error &) {
        --g_testsUnderWay;
        TestFinished(apptext::kTestNoConnection); // no thread to run the test on
    }
}

void CVenderAddrDlg::ShowResult(const std::string &cp932)
{
    platform::setWindowText(m_editResult, cp932);
}

void CVenderAddrDlg::TestFinished(const std::string &cp932)
{
    m_testRunning = false;
    ShowResult(cp932);
    enableItem(IDC_TEST, true);
}

std::string CVenderAddrDlg::RunConnectionTest(const std::string &host, uint16_t port)
{
    const auto lines = [](const std::string &text) {
        // The result box keeps lines apart with CR LF.
        std::string out;
        for (const char c : text) {
            if (c == '\n')
                out += "\r\n";
            else
                out += c;
        }
        return out;
    };
    char target[160];
    std::snprintf(target, sizeof target, apptext::kTestTarget, host.c_str(), unsigned(port));
    std::string out = std::string(target) + "\n";

    auto vender = std::make_unique<COrvathVender>();
    vender->SetAddress(host, port);
    if (!vender->OpenSession(1))
        return lines(out + apptext::kTestNoConnection);

    DeviceDateTime t;
    if (!vender->ReadClock(t)) {
        vender->CloseSession();
        return lines(out + apptext::kTestClockFailed);
    }
    // The clock as the clock dialog shows it.
    out += std::string(apptext::kTestConnected) + "\n" + format(apptext::kTestClock, DeviceDateTimeText(t)) + "\n";

    char number[kDeviceNumberLength + 1] = {};
    if (vender->ReadDeviceNumber(number))
        out += format(apptext::kTestNumber, numberText(number));
    else
        out += apptext::kTestNumberFailed;
    vender->CloseSession();
    return lines(out);
}
