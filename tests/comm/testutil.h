#pragma once
// Small helpers shared by the protocol tests.
#include "comm/frame.h"
#include "platform/codepage.h"

#include <cstdint>
#include <cstdlib>
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
    return platform::fromCp932(cp932).toStdString();
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

} // namespace testutil
