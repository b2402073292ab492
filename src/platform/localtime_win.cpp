#include "platform/calendar.h"

namespace platform {

bool localTime(std::time_t time, std::tm &out)
{
    // The C runtime's own per-thread conversion (arguments the other way round).
    return ::localtime_s(&out, &time) == 0;
}

} // namespace platform
