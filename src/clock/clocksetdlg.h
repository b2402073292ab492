#pragma once
// The clock and device-number dialog ("時計設定"): the vendor's clock beside the PC's,
// both refreshed by timer 1 once a second; setting the vendor's clock to the PC's time
// or to a time picked in five lists; reading and setting the vendor's six-character
// device number.
//
// States: opening (nothing read yet, editing controls disabled), not answering (the last
// clock read failed: ">> 通信異常です <<", controls disabled), answering without number
// (the clock answered but the device number could not be read: controls still disabled,
// the number is tried again at every tick) and ready (both read: controls enabled). The
// device number is read only when the controls pass from disabled to enabled, so it never
// overwrites what the operator types while the vendor keeps answering.
//
// Vendor exchanges block the dialog within the communication time limits. Ticks go on
// while one of the dialog's message boxes is open (the box runs its own event loop), so
// the displays keep refreshing behind it; a tick never starts a clock read while another
// vendor exchange of this dialog is under way.
#include "clock/vendersession.h"
#include "platform/dialog.h"

#include <ctime>
#include <string>

class QComboBox;
class QLineEdit;

class CClockSetDlg : public platform::Dialog {
    Q_OBJECT
public:
    enum { IDD = 148 };
    enum : int {
        IDC_DEVICE_CLOCK = 1081,
        IDC_PC_TIME = 1080,
        IDC_YEAR = 1087,
        IDC_MONTH = 1088,
        IDC_DAY = 1089,
        IDC_HOUR = 1090,
        IDC_MINUTE = 1091,
        IDC_SET_NOW = 1010,
        IDC_SET_EDITED = 1008,
        IDC_DEVICE_NUMBER = 1097,
        IDC_SET_NUMBER = 1098,
    };
    static constexpr int kClockTimer = 1;
    static constexpr int kClockPeriodMs = 1000;
    static constexpr int kFirstYear = 2000; // the year list runs from here, 100 years

    // A local date and time as the operator reads it: full year, month 1-12, day 1-31.
    struct LocalTime {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
        int second = 0;
    };

    explicit CClockSetDlg(VenderSession session);
    ~CClockSetDlg() override;

    bool Reachable() const { return m_bReachable; }
    bool ControlsEnabled() const { return m_bControlsEnabled; }

    // The text shown when the vendor's clock cannot be read.
    static const std::string &CommErrorText();
    // Whether the date exists in the calendar (30 April yes, 31 April no).
    static bool DateExists(int year, int month, int day);

protected:
    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnDestroy() override;

    // The PC's clock; tests stand in for it.
    virtual std::time_t CurrentTime() const;

    void RefreshClock();
    void UpdateControls();
    void SetDeviceClock(const LocalTime &time);
    void OnSetNow();
    void OnSetEdited();
    void OnSetDeviceNumber();

private:
    // Moves the two texts into their statics.
    void DoDataExchange();
    bool LocalNow(LocalTime &out) const;
    // The vendor operations, run one at a time.
    bool ReadClock(DeviceDateTime &out);
    bool SetClock(const DeviceDateTime &in);
    bool ReadDeviceNumber(char *out);
    bool SetDeviceNumber(const char *text);
    template <class F>
    bool exchange(F &&operation);

    VenderSession m_session;
    QLineEdit *m_editDeviceNumber = nullptr;
    QComboBox *m_cbYear = nullptr;
    QComboBox *m_cbMonth = nullptr;
    QComboBox *m_cbMinute = nullptr;
    QComboBox *m_cbHour = nullptr;
    QComboBox *m_cbDay = nullptr;
    std::string m_strDeviceClock; // CP932
    std::string m_strPcTime;      // CP932
    bool m_bReachable = false;
    bool m_bControlsEnabled = false;
    bool m_inExchange = false; // a vendor exchange of this dialog is under way
    bool m_tickDue = false;    // a tick fell due meanwhile

    static const platform::CommandTable<CClockSetDlg> kCommands;
};
