#include "comm/port.h"

bool ParsePort(std::string_view text, uint16_t &port)
{
    // Longer text is refused without reading it, zeros in front or not.
    if (text.empty() || text.size() > 5)
        return false;
    unsigned v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10u + unsigned(c - '0');
    }
    if (v < 1 || v > 65535)
        return false;
    port = uint16_t(v);
    return true;
}
