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
    m_printerTypeList = item<QComboBox>(IDC_PRTTYPE);
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
        m_comPort = storeListText(port);
        m_comRate = storeListText(rate);
    } else {
        loadListText(port, m_comPort);
        loadListText(rate, m_comRate);
    }
}

bool CConfigDlg::OnInitDialog()
{
    platform::Dialog::OnInitDialog();
    m_comPort = m_app.COMPORT;
    m_comRate = std::to_string(m_app.COMRATE);
    platform::comboSetCurSel(m_printerTypeList, m_app.PRTTYPE);
    DoDataExchange(false);
    return true;
}

void CConfigDlg::OnOK()
{
    DoDataExchange(true);
    platform::Dialog::OnOK();

    m_app.COMPORT = m_comPort;
    m_app.COMRATE = int32_t(std::strtol(m_comRate.c_str(), nullptr, 10));
    m_app.PRTTYPE = platform::comboCurSel(m_printerTypeList);
    m_app.SaveSettings(); // nothing is shown, whether the write succeeds or not
}
