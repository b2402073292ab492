#include "app/configdlg.h"

#include "app/quorvelapp.h"
#include "platform/ui/controls.h"

#include <QComboBox>

#include <cstdlib>

namespace {

// Loads `text` into a pick-only list by its leading characters; no match, no selection.
void loadListText(QComboBox *list, const std::string &text)
{
    if (platform::comboSelectString(list, -1, text) < 0)
        platform::comboSetCurSel(list, -1);
}

std::string storeListText(const QComboBox *list)
{
    return platform::comboItemText(list, platform::comboCurSel(list));
}

} // namespace

CConfigDlg::CConfigDlg(CQuorvelApp &app) : platform::Dialog(IDD), m_app(app)
{
    m_cbPrtType = item<QComboBox>(IDC_PRTTYPE);
}

CConfigDlg::~CConfigDlg()
{
    destroyWindow();
}

void CConfigDlg::DoDataExchange(bool save)
{
    auto *port = item<QComboBox>(IDC_COMPORT);
    auto *rate = item<QComboBox>(IDC_COMRATE);
    if (save) {
        m_strComPort = storeListText(port);
        m_strComRate = storeListText(rate);
    } else {
        loadListText(port, m_strComPort);
        loadListText(rate, m_strComRate);
    }
}

bool CConfigDlg::OnInitDialog()
{
    platform::Dialog::OnInitDialog();
    m_strComPort = m_app.COMPORT;
    m_strComRate = std::to_string(m_app.COMRATE);
    platform::comboSetCurSel(m_cbPrtType, m_app.PRTTYPE);
    DoDataExchange(false);
    return true;
}

void CConfigDlg::OnOK()
{
    DoDataExchange(true);
    platform::Dialog::OnOK();

    m_app.COMPORT = m_strComPort;
    m_app.COMRATE = int32_t(std::strtol(m_strComRate.c_str(), nullptr, 10));
    m_app.PRTTYPE = platform::comboCurSel(m_cbPrtType);
    m_app.SaveSettings(); // nothing is shown, whether the write succeeds or not
}
