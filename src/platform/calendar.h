#pragma once
// Dates of the Gregorian calendar, as the clock dialog and quorvelctl check what the
// operator picked or typed before it is sent to the vendor.

namespace platform {

// True when day `day` of month `month` (1-12) of year `year` exists. February has 29 days
// in a leap year: every fourth year, except the years of a full century not divisible by 400.
bool dateExists(int year, int month, int day);

} // namespace platform
