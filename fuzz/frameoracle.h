#pragma once
// What a well-formed frame is, written out on its own so the harnesses do not take the
// checker's word for it.
#include <cstddef>
#include <cstdint>

// n bytes from f are exactly one frame: SOH, TYPE 0x01 or 0x90, CMD below 0x30, STA with a
// clear high nibble, LEN + 6 bytes in all, STX and ETX in place when LEN is not 0 (so LEN is
// 0 or at least 2), and the XOR of every byte before the check byte.
inline bool isWellFormedFrame(const uint8_t *f, size_t n)
{
    if (n < 6 || f[0] != 0x01 || (f[1] != 0x01 && f[1] != 0x90) || f[2] >= 0x30 || (f[3] & 0xF0) != 0)
        return false;
    const size_t len = f[4];
    if (n != len + 6)
        return false;
    if (len != 0 && (len < 2 || f[5] != 0x02 || f[len + 4] != 0x03))
        return false;
    uint8_t x = 0;
    for (size_t i = 0; i + 1 < n; ++i)
        x ^= f[i];
    return x == f[n - 1];
}
