#pragma once
// Bytes as the tests write and read them: hex text, frames and their check byte, a sample
// work file, CP932 text, the vendor object's trace lines and clock readings, whole files.
#include "comm/frame.h"
#include "comm/vender.h"
#include "platform/cp932.h"

#ifdef QT_CORE_LIB
#include <QFile>
#include <QString>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

namespace testutil {

using Bytes = std::vector<uint8_t>;

// "01 90 0a" -> bytes
inline Bytes hex(const std::string &text)
{
    Bytes out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok)
        out.push_back(uint8_t(std::strtoul(tok.c_str(), nullptr, 16)));
    return out;
}

inline std::string utf8(const std::string &cp932)
{
    return platform::utf8FromCp932(cp932);
}

// CP932 bytes of a UTF-8 literal.
inline std::string sj(const char *utf8)
{
    return platform::cp932FromUtf8(utf8);
}

// The trace ring's entries, oldest first, as UTF-8.
inline std::vector<std::string> traceLines(const TraceLog &log)
{
    std::vector<std::string> out;
    for (const std::string &l : log.entries())
        out.push_back(utf8(l));
    return out;
}

inline uint8_t bcc(const Bytes &b)
{
    uint8_t x = 0;
    for (uint8_t v : b)
        x ^= v;
    return x;
}

// The data bytes of a frame (after the block control byte, before ETX).
inline Bytes dataOf(const Bytes &f)
{
    return f.size() > 9 && f[4] > 3 ? Bytes(f.begin() + 7, f.end() - 2) : Bytes{};
}

inline Bytes withBcc(Bytes b)
{
    b.push_back(bcc(b));
    return b;
}

// A work file: header, a picture with a few dots, print command.
inline Bytes sampleWorkFile()
{
    Bytes f(6152, 0);
    const Bytes head = hex("00 1D 2A 30 10");
    std::copy(head.begin(), head.end(), f.begin());
    f[6149] = 0x1D;
    f[6150] = 0x2F;
    f[6151] = 0x00;
    f[5] = 0x80; // dot (0, 0)
    f[5 + 16 * 383 + 15] = 0x01; // dot (383, 127)
    for (int x = 100; x < 110; ++x)
        f[5 + 16 * size_t(x) + 4] = 0xFF; // rows 32-39
    return f;
}

// A clock reading as calendar time, to compare with the simulator's clock.
inline std::time_t asTime(const DeviceDateTime &t)
{
    std::tm tm{};
    tm.tm_year = 100 + t.year;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

#ifdef QT_CORE_LIB
// The whole content of a file, or "<unreadable>".
inline std::string readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}
#endif

} // namespace testutil
