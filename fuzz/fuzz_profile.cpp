// The settings file: writing one value into any existing file.
//
// Input: a section name, a key and a value (each a length byte and that many bytes), then
// the file's existing content.
// Properties (names and value are first made into what the file can hold: no line ends,
// no blanks at either end, names that are well-formed CP932 and cannot be read as another
// kind of line):
//  - the value written is the value read back;
//  - every line of the old file is still there byte for byte, in order: the write changes
//    one line (the key's) or adds the key's line, or adds the section and the key at the end.
#include "fuzzcheck.h"

#include "platform/profile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string g_path;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool isLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrail(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

std::string field(FuzzInput &in)
{
    size_t n = in.byte() % 24;
    const uint8_t *p = in.take(n);
    return std::string(reinterpret_cast<const char *>(p), n);
}

// Without line ends and NULs, and without blanks at either end.
std::string oneLine(const std::string &s)
{
    std::string out;
    for (char c : s)
        if (c != '\n' && c != '\r' && c != '\0')
            out += c;
    size_t b = 0, e = out.size();
    while (b < e && isBlank(out[b]))
        ++b;
    while (e > b && isBlank(out[e - 1]))
        --e;
    return out.substr(b, e - b);
}

// A name: one line, whole CP932 characters only, and `banned` nowhere.
std::string name(const std::string &s, const char *banned)
{
    std::string out;
    const std::string line = oneLine(s);
    for (size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (isLead(c)) {
            if (i + 1 < line.size() && isTrail(static_cast<unsigned char>(line[i + 1]))) {
                out += line.substr(i, 2);
                ++i;
            }
            continue;
        }
        if (!std::strchr(banned, char(c)))
            out += char(c);
    }
    return oneLine(out);
}

std::vector<std::string> linesOf(const std::string &bytes)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t nl = bytes.find('\n', pos);
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        if (end > pos && bytes[end - 1] == '\r')
            --end;
        lines.push_back(bytes.substr(pos, end - pos));
        pos = nl == std::string::npos ? bytes.size() : nl + 1;
    }
    return lines;
}

// The fewest line removals and insertions that turn `a` into `b`, looked for only among
// scripts of at most `most` of them; most + 1 when there is none.
size_t lineEdits(const std::vector<std::string> &a, const std::vector<std::string> &b, size_t most)
{
    const size_t none = most + 1;
    const size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > most)
        return none;
    // d[i][k]: edits for a[0..i) against b[0..j), j = i + k - most, within the band.
    const size_t width = 2 * most + 1;
    std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(width, none));
    auto at = [&](size_t i, size_t j) -> size_t {
        if (j + most < i || j > i + most)
            return none;
        return d[i][j + most - i];
    };
    for (size_t i = 0; i <= n; ++i) {
        for (size_t k = 0; k < width; ++k) {
            if (i + k < most)
                continue;
            const size_t j = i + k - most;
            if (j > m)
                break;
            size_t best = i == 0 && j == 0 ? 0 : none;
            if (i > 0)
                best = std::min(best, at(i - 1, j) + 1);
            if (j > 0)
                best = std::min(best, at(i, j - 1) + 1);
            if (i > 0 && j > 0 && a[i - 1] == b[j - 1])
                best = std::min(best, at(i - 1, j - 1));
            d[i][k] = std::min(best, none);
        }
    }
    return at(n, m);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char dir[] = "/tmp/fuzz_profile.XXXXXX";
    if (!::mkdtemp(dir))
        std::exit(1);
    g_path = std::string(dir) + "/quorvel.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    // A key line starts with neither "[" nor ";" and has no "=" in its name; a section name
    // has no "]" (the header ends at the last one).
    std::string section = name(field(in), "]");
    std::string key = name(field(in), "=");
    size_t keyStart = 0;
    while (keyStart < key.size() && (key[keyStart] == '[' || key[keyStart] == ';' || isBlank(key[keyStart])))
        ++keyStart;
    key = key.substr(keyStart);
    const std::string value = oneLine(field(in));
    size_t n = in.left();
    const uint8_t *p = in.take(n);
    const std::string before(reinterpret_cast<const char *>(p), n);

    {
        std::ofstream f(g_path, std::ios::binary | std::ios::trunc);
        f.write(before.data(), std::streamsize(before.size()));
    }
    FUZZ_CHECK(platform::writeProfileString(g_path, section, key, value), "the write failed");
    const std::string sentinel = "\x01(absent)";
    const std::string got = platform::readProfileString(g_path, section, key, sentinel, 1 << 20);
    FUZZ_CHECK(got == value, "[%s] %s: wrote \"%s\", read \"%s\"", section.c_str(), key.c_str(), value.c_str(),
               got.c_str());

    std::ifstream f(g_path, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::vector<std::string> old = linesOf(before), now = linesOf(after);
    // Every old line must stay, in order, but for one (the key's) that may be replaced; at
    // most two lines are new (a section header and the key's line). Counted over the best
    // alignment of the two, since a file may hold the same line more than once.
    const size_t edits = lineEdits(old, now, 3);
    FUZZ_CHECK(edits <= 3 && edits + old.size() >= now.size(), "%zu line edits from %zu to %zu lines", edits,
               old.size(), now.size());
    const size_t removed = (edits + old.size() - now.size()) / 2, added = edits - removed;
    FUZZ_CHECK(removed <= 1, "%zu old lines are gone", removed);
    FUZZ_CHECK(added <= 2, "%zu lines added and %zu replaced", added - removed, removed);
    return 0;
}
