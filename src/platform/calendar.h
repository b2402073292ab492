#pragma once
// Dates of the Gregorian calendar, as the clock dialog and quorvelctl check what the
// operator picked or typed before it is sent to the vendor; and the PC's local time, which
// is one file per platform (localtime_posix.cpp, localtime_win.cpp).
#include <ctime>

namespace platform {

// The calendar time `time` as the PC's local time (its time zone and summer time), safe
// to call from any thread. False when the system cannot say.
bool localTime(std::time_t time, std::tm &out);

// True when day `day` of month `month` (1-12) of year `year` exists. February has 29 days
// in a leap year: every fourth year, except the years of a full century not divisible by 400.
bool dateExists(int year, int month, int day);

} // namespace platform
