#include "platform/calendar.h"

namespace platform {

bool localTime(std::time_t time, std::tm &out)
{
    return ::localtime_r(&time, &out) != nullptr;
}

} // namespace platform
