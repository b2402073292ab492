#pragma once
// The communication settings dialog ("通信設定"): the serial port name COMPORT, the
// serial rate COMRATE and the connected device model PRTTYPE of the application object.
// OK stores the choices there and writes them to the settings file at once; cancel
// changes nothing. The lists' items come with the dialog's template.
//
// A stored text is shown by selecting the first item, from the top, that begins with it
// (letter case ignored: "com2" selects COM2, "COM1" selects COM1 and not COM10, "1920"
// selects 19200); when no item begins with it, the list shows no selection and OK stores
// the empty text (for the rate: 0). A device model index that is no item leaves that
// list empty, and OK stores -1.
#include "platform/ui/dialog.h"

#include <string>

class CQuorvelApp;
class QComboBox;

class CConfigDlg : public platform::Dialog {
    Q_OBJECT
public:
    enum { IDD = 142 };
    enum : int { IDC_COMPORT = 1030, IDC_COMRATE = 1032, IDC_PRTTYPE = 1035 };

    explicit CConfigDlg(CQuorvelApp &app);
    ~CConfigDlg() override;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    // save = false: the two texts go into their lists; true: they are taken from them.
    void DoDataExchange(bool save);

    CQuorvelApp &m_app;
    QComboBox *m_cbPrtType = nullptr; // the device list
    std::string m_strComPort;         // CP932
    std::string m_strComRate;
};
