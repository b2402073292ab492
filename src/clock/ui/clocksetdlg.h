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
// The vendor's operations run on the vendor worker (CVenderRunner): the dialog keeps
// painting and answering while the vendor is slow or gone. Every tick shows the PC's time at
// once. Its clock read runs on the worker; a tick that falls due while an operation of the
// dialog is still running starts no read of its own: it is delivered once, after that
// operation (ticks never queue up). Ticks go on while one of the dialog's message boxes is
// open, so the displays keep refreshing behind it. While the operator's clock or number
// setting runs, the three buttons that start one are disabled.
#include "vendorui/venderdialog.h"

#include <ctime>
#include <functional>
#include <string>

class QComboBox;
class QLineEdit;

class CClockSetDlg : public CVenderDialog {
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
    // An operation of the dialog is running or waiting on the vendor worker.

    // The text shown when the vendor's clock cannot be read.
    static const std::string &CommErrorText();

protected:
    bool OnInitDialog() override;
    void OnTimer(int id) override;
    void OnDestroy() override;
    void BeforeOpening() override;
    void AfterOpening() override;

    // The PC's clock; tests stand in for it.
    virtual std::time_t CurrentTime() const;

    // Shows the PC's time and starts the tick's clock read.
    void RefreshClock();
    // Reads the device number when the vendor answers (its end enables the controls);
    // otherwise disables them.
    void UpdateControls();
    void SetDeviceClock(const LocalTime &time);
    void OnSetNow();
    void OnSetEdited();
    void OnSetDeviceNumber();

private:
    // Moves the two texts into their statics.
    void DoDataExchange();
    bool LocalNow(LocalTime &out) const;
    void ShowPcTime();
    void ClockRead(bool ok, const DeviceDateTime &t);
    void NumberRead(bool ok, const std::string &number);
    // Enables the nine editing controls by the controls-enabled flag; the three buttons
    // that start an operation stay disabled while the dialog is busy.
    void ApplyControls();
    // Runs `operation` on the worker; `done` gets its result here, and a tick that fell
    // due meanwhile is delivered after it.
    void run(CVenderRunner::Operation operation, std::function<void(bool)> done, int busyAfterMs);
    // Sets the vendor's clock to the time timeToSend gives on the worker, just before it is
    // sent, and tells the operator how it went.
    void setClock(std::function<bool(DeviceDateTime &)> timeToSend);
    void deliverDueTick();

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
    bool m_busy = false;    // the runner shows the dialog busy
    bool m_tickDue = false; // a tick fell due while an operation ran

    static const platform::CommandTable<CClockSetDlg> kCommands;
};
