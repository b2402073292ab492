#include "clock/ui/clocksetdlg.h"

#include "platform/calendar.h"
#include "platform/ui/controls.h"
#include "platform/ui/messagebox.h"
#include "texts/clock.h"
#include "vendorui/reportfailure.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyleOptionComplex>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

using platform::MsgIcon;

namespace {

std::string format2(int v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// The date and time lists are only 23 dialog units wide: with the usual drop-down button
// of the widget style, "08" no longer fits beside it. This style gives those lists a
// narrow button and thin margins, as the native narrow lists have.
class NarrowListStyle : public QProxyStyle {
public:
    static constexpr int kButtonWidth = 13;

    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex *opt, SubControl sc,
                         const QWidget *widget) const override
    {
        if (cc != CC_ComboBox || !opt)
            return QProxyStyle::subControlRect(cc, opt, sc, widget);
        const QRect r = opt->rect;
        switch (sc) {
        case SC_ComboBoxArrow:
            return visualRect(opt->direction, r,
                              QRect(r.right() - kButtonWidth, r.top(), kButtonWidth + 1, r.height()));
        case SC_ComboBoxEditField:
            return visualRect(opt->direction, r,
                              QRect(r.left() + 3, r.top() + 2, r.width() - kButtonWidth - 5, r.height() - 4));
        default:
            return QProxyStyle::subControlRect(cc, opt, sc, widget);
        }
    }
};

// Any thread.
bool localTimeOf(std::time_t time, CClockSetDlg::LocalTime &out)
{
    std::tm tm{};
    if (!platform::localTime(time, tm))
        return false;
    out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

DeviceDateTime deviceTimeOf(const CClockSetDlg::LocalTime &time)
{
    DeviceDateTime t;
    t.year = uint8_t(time.year % 100);
    t.month = uint8_t(time.month);
    t.day = uint8_t(time.day);
    t.hour = uint8_t(time.hour);
    t.minute = uint8_t(time.minute);
    t.second = uint8_t(time.second);
    return t;
}

} // namespace

const platform::CommandTable<CClockSetDlg> CClockSetDlg::kCommands = {
    {IDC_SET_NOW, platform::Notify::Clicked, &CClockSetDlg::OnSetNow},
    {IDC_SET_EDITED, platform::Notify::Clicked, &CClockSetDlg::OnSetEdited},
    {IDC_SET_NUMBER, platform::Notify::Clicked, &CClockSetDlg::OnSetDeviceNumber},
};

CClockSetDlg::CClockSetDlg(VenderSession session) : CVenderDialog(IDD, std::move(session))
{
    setCommandTable(kCommands);
    connect(m_runner, &CVenderRunner::busyChanged, this, [this](bool busy) {
        m_busy = busy;
        ApplyControls();
    });
    m_deviceNumberEdit = item<QLineEdit>(IDC_DEVICE_NUMBER);
    m_yearList = item<QComboBox>(IDC_YEAR);
    m_monthList = item<QComboBox>(IDC_MONTH);
    m_minuteList = item<QComboBox>(IDC_MINUTE);
    m_hourList = item<QComboBox>(IDC_HOUR);
    m_dayList = item<QComboBox>(IDC_DAY);

    auto *narrow = new NarrowListStyle;
    narrow->setParent(this);
    for (QComboBox *list : {m_yearList, m_monthList, m_dayList, m_hourList, m_minuteList})
        if (list)
            list->setStyle(narrow);
}

CClockSetDlg::~CClockSetDlg()
{
    destroyWindow();
}

const std::string &CClockSetDlg::CommErrorText()
{
    static const std::string text = clocktext::kCommError;
    return text;
}

std::time_t CClockSetDlg::CurrentTime() const
{
    return std::time(nullptr);
}

bool CClockSetDlg::LocalNow(LocalTime &out) const
{
    return localTimeOf(CurrentTime(), out);
}

bool CClockSetDlg::OnInitDialog()
{
    CVenderDialog::OnInitDialog();
    m_reachable = false;
    m_controlsEnabled = false;

    startWindowTimer(kClockTimer, kClockPeriodMs);

    for (int y = kFirstYear; y < kFirstYear + 100; ++y) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d", y);
        platform::comboAddString(m_yearList, buf);
    }
    for (int m = 1; m <= 12; ++m)
        platform::comboAddString(m_monthList, format2(m));
    for (int d = 1; d <= 31; ++d)
        platform::comboAddString(m_dayList, format2(d));
    for (int h = 0; h <= 23; ++h)
        platform::comboAddString(m_hourList, format2(h));
    for (int m = 0; m <= 59; ++m)
        platform::comboAddString(m_minuteList, format2(m));

    // An index that is no item (a PC year outside the list's century) selects nothing.
    LocalTime now;
    if (LocalNow(now)) {
        platform::comboSetCurSel(m_yearList, now.year - kFirstYear);
        platform::comboSetCurSel(m_monthList, now.month - 1);
        platform::comboSetCurSel(m_dayList, now.day - 1);
        platform::comboSetCurSel(m_hourList, now.hour);
        platform::comboSetCurSel(m_minuteList, now.minute);
    }

    UpdateControls();
    return true;
}

void CClockSetDlg::BeforeOpening()
{
    m_deviceClock.clear();
    m_pcTime.clear();
    DoDataExchange();
}

void CClockSetDlg::AfterOpening()
{
    // A tick that fell due while the session opened (a vendor slow to take the connection)
    // comes once it is open.
    deliverDueTick();
}

void CClockSetDlg::OnDestroy()
{
    CVenderDialog::OnDestroy();
    stopWindowTimer(kClockTimer);
}

void CClockSetDlg::DoDataExchange()
{
    setItemText(IDC_DEVICE_CLOCK, m_deviceClock);
    setItemText(IDC_PC_TIME, m_pcTime);
}

void CClockSetDlg::run(CVenderRunner::Operation operation, std::function<void(bool)> done, int busyAfterMs)
{
    m_runner->Run(
        std::move(operation),
        [this, done = std::move(done)](bool ok) {
            done(ok);
            deliverDueTick();
        },
        busyAfterMs);
}

void CClockSetDlg::deliverDueTick()
{
    if (!m_tickDue || m_runner->Busy())
        return;
    // The tick that fell due during the operation comes once, afterwards.
    m_tickDue = false;
    QTimer::singleShot(0, this, [this] {
        if (windowTimerRunning(kClockTimer))
            OnTimer(kClockTimer);
    });
}

void CClockSetDlg::OnTimer(int id)
{
    if (id == kClockTimer)
        RefreshClock();
    platform::Dialog::OnTimer(id);
}

void CClockSetDlg::ShowPcTime()
{
    m_pcTime.clear();
    const std::time_t now = CurrentTime();
    std::tm tm{};
    if (platform::localTime(now, tm)) {
        char buf[64];
        if (std::strftime(buf, sizeof buf, "%y/%m/%d %H:%M:%S", &tm) > 0)
            m_pcTime = buf;
    }
    DoDataExchange();
}

void CClockSetDlg::RefreshClock()
{
    // The PC's time is shown when the tick comes, whatever the vendor does.
    ShowPcTime();
    if (m_runner->Busy()) {
        m_tickDue = true; // one read at a time
        return;
    }
    m_reachable = true;
    auto read = std::make_shared<DeviceDateTime>();
    run([read](COrvathVender &v) { return v.ReadClock(*read); }, [this, read](bool ok) { ClockRead(ok, *read); },
        CVenderRunner::kQuietMs);
}

void CClockSetDlg::ClockRead(bool ok, const DeviceDateTime &t)
{
    if (ok) {
        m_deviceClock = DeviceDateTimeText(t);
    } else {
        m_reachable = false;
        m_deviceClock = CommErrorText();
        UpdateControls();
    }
    DoDataExchange();
    if (m_reachable && !m_controlsEnabled)
        UpdateControls();
}

void CClockSetDlg::UpdateControls()
{
    if (!m_reachable) {
        m_controlsEnabled = false;
        ApplyControls();
        return;
    }
    auto number = std::make_shared<std::string>();
    run(
        [number](COrvathVender &v) {
            char buf[kDeviceNumberLength + 1] = {};
            if (!v.ReadDeviceNumber(buf))
                return false;
            *number = std::string(buf, kDeviceNumberLength);
            return true;
        },
        [this, number](bool ok) { NumberRead(ok, *number); }, CVenderRunner::kQuietMs);
}

void CClockSetDlg::NumberRead(bool ok, const std::string &number)
{
    if (ok) {
        m_deviceNumberEdit->setMaxLength(int(kDeviceNumberLength));
        if (number.compare(0, kDeviceNumberLength, "      ") != 0)
            platform::setWindowText(m_deviceNumberEdit, std::string(number.c_str())); // up to a NUL, as any text
        m_controlsEnabled = true;
    } else {
        m_controlsEnabled = false;
    }
    ApplyControls();
}

void CClockSetDlg::ApplyControls()
{
    for (int id : {IDC_DEVICE_NUMBER, IDC_SET_NUMBER, IDC_SET_NOW, IDC_SET_EDITED, IDC_YEAR, IDC_MONTH, IDC_DAY,
                   IDC_HOUR, IDC_MINUTE}) {
        const bool startsOperation = id == IDC_SET_NUMBER || id == IDC_SET_NOW || id == IDC_SET_EDITED;
        enableItem(id, m_controlsEnabled && !(startsOperation && m_busy));
    }
}

void CClockSetDlg::SetDeviceClock(const LocalTime &time)
{
    const DeviceDateTime t = deviceTimeOf(time);
    setClock([t](DeviceDateTime &out) {
        out = t;
        return true;
    });
}

void CClockSetDlg::setClock(std::function<bool(DeviceDateTime &)> timeToSend)
{
    run(
        [timeToSend = std::move(timeToSend)](COrvathVender &v) {
            DeviceDateTime t;
            return timeToSend(t) && v.SetClock(t);
        },
        [this](bool ok) {
            if (ok) {
                platform::messageBox(clocktext::kMsgClockSet, MsgIcon::Information);
                m_reachable = true;
            } else {
                ReportFailure(false, clocktext::kTitleSetClock);
                m_reachable = false; // the controls stay as they are until the next tick decides
            }
        },
        CVenderRunner::kAtOnce);
}

void CClockSetDlg::OnSetNow()
{
    // The PC's time when the setting goes out. A clock read of the dialog may still be
    // under way on the worker (a background read shows the dialog busy only once it lasts):
    // the setting then waits behind it, and the time it sends goes on meanwhile.
    const std::time_t clicked = CurrentTime();
    LocalTime now;
    if (!localTimeOf(clicked, now))
        return; // a PC clock that cannot be read sends nothing
    const auto clickedAt = std::chrono::steady_clock::now();
    setClock([clicked, clickedAt](DeviceDateTime &out) {
        const auto waited = std::chrono::steady_clock::now() - clickedAt;
        const std::time_t sent =
            clicked + std::time_t(std::chrono::duration_cast<std::chrono::seconds>(waited).count());
        LocalTime t;
        if (!localTimeOf(sent, t))
            return false;
        out = deviceTimeOf(t);
        return true;
    });
}

void CClockSetDlg::OnSetEdited()
{
    // A list without a selection, or a date the calendar does not have, is refused
    // before anything is sent.
    const struct {
        QComboBox *list;
        const char *name;
    } lists[] = {{m_yearList, clocktext::kFieldYear},
                 {m_monthList, clocktext::kFieldMonth},
                 {m_dayList, clocktext::kFieldDay},
                 {m_hourList, clocktext::kFieldHour},
                 {m_minuteList, clocktext::kFieldMinute}};
    for (const auto &l : lists) {
        if (platform::comboCurSel(l.list) < 0) {
            platform::messageBox(std::string(clocktext::kMsgNotSelectedBefore) + l.name +
                                     clocktext::kMsgNotSelectedAfter,
                                 MsgIcon::Exclamation);
            return;
        }
    }
    LocalTime t;
    t.year = kFirstYear + platform::comboCurSel(m_yearList);
    t.month = platform::comboCurSel(m_monthList) + 1;
    t.day = platform::comboCurSel(m_dayList) + 1;
    t.hour = platform::comboCurSel(m_hourList);
    t.minute = platform::comboCurSel(m_minuteList);
    t.second = 0;
    if (!platform::dateExists(t.year, t.month, t.day)) {
        char date[64];
        std::snprintf(date, sizeof date, "%04d/%02d/%02d", t.year, t.month, t.day);
        platform::messageBox(date + std::string(clocktext::kMsgNoSuchDate), MsgIcon::Exclamation);
        return;
    }
    SetDeviceClock(t);
}

void CClockSetDlg::OnSetDeviceNumber()
{
    // The edit's text as a zero-filled area of at most 10 bytes, terminator included.
    char text[11] = {};
    const std::string bytes = platform::windowText(m_deviceNumberEdit);
    std::memcpy(text, bytes.data(), std::min<size_t>(bytes.size(), 9));

    // Only 7-bit characters may go to the vendor. A character the code page cannot hold
    // would arrive here as '?', so the edit's own characters are looked at as well.
    bool refused = false;
    for (size_t i = 0; i < kDeviceNumberLength && text[i] != '\0'; ++i)
        refused = refused || static_cast<unsigned char>(text[i]) >= 0x80;
    const QString typed = m_deviceNumberEdit->text();
    for (qsizetype i = 0; i < typed.size() && i < qsizetype(kDeviceNumberLength); ++i)
        refused = refused || typed[i].unicode() >= 0x80;
    if (refused) {
        platform::messageBox(clocktext::kMsgNotAscii, MsgIcon::Exclamation);
        return;
    }

    const std::string sent(text); // up to its first NUL
    run([sent](COrvathVender &v) { return v.SetDeviceNumber(sent.c_str()); },
        [](bool ok) {
            if (ok)
                platform::messageBox(clocktext::kMsgNumberSet, MsgIcon::Information);
            else
                ReportFailure(false, clocktext::kTitleSetNumber);
        },
        CVenderRunner::kAtOnce);
}
