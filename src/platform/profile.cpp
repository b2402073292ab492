#include "platform/profile.h"

#include "platform/atomicfile.h"

#include <cerrno>
#include <optional>
#include <vector>

namespace platform {

namespace {

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string trim(const std::string &s, std::size_t from, std::size_t to)
{
    while (from < to && isBlank(s[from]))
        ++from;
    while (to > from && isBlank(s[to - 1]))
        --to;
    return s.substr(from, to - from);
}

// Case-insensitive comparison of two CP932 names: single-byte letters fold to upper case,
// double-byte characters (lead and trail byte) must match exactly.
bool sameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (isLeadByte(x)) {
            if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::string text; // without its line end
    LineKind kind = LineKind::Other;
    std::string name; // section or key name, trimmed
    std::string value; // key value, trimmed
};

Line classify(std::string text)
{
    Line line;
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    if (start < text.size() && text[start] == '[') {
        // The name ends at the last ']' that is not the trail byte of a double-byte character.
        std::size_t close = std::string::npos;
        for (std::size_t i = start + 1; i < text.size(); ++i) {
            if (isLeadByte(static_cast<unsigned char>(text[i]))) {
                ++i;
                continue;
            }
            if (text[i] == ']')
                close = i;
        }
        if (close != std::string::npos) {
            line.kind = LineKind::Section;
            line.name = trim(text, start + 1, close);
        }
    } else if (start < text.size() && text[start] != ';') {
        // '=' (0x3D) never occurs as a trail byte, so a plain search is safe.
        std::size_t eq = text.find('=', start);
        if (eq != std::string::npos) {
            line.kind = LineKind::Key;
            line.name = trim(text, start, eq);
            line.value = trim(text, eq + 1, text.size());
        }
    }
    line.text = std::move(text);
    return line;
}

std::vector<Line> parse(const std::string &bytes)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nl = bytes.find('\n', pos);
        std::size_t end = nl == std::string::npos ? bytes.size() : nl;
        std::size_t textEnd = end;
        if (textEnd > pos && bytes[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back(classify(bytes.substr(pos, textEnd - pos)));
        pos = nl == std::string::npos ? bytes.size() : nl + 1;
    }
    return lines;
}

// Index range [begin, end) of the lines that belong to `section` (after its header line);
// begin - 1 is the header. nullopt when the section is absent.
struct SectionRange {
    std::size_t header, end;
};

std::optional<SectionRange> findSection(const std::vector<Line> &lines, const std::string &section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !sameName(lines[i].name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != LineKind::Section)
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<Line> &lines, const SectionRange &range,
                                   const std::string &key)
{
    for (std::size_t i = range.header + 1; i < range.end; ++i)
        if (lines[i].kind == LineKind::Key && sameName(lines[i].name, key))
            return i;
    return std::nullopt;
}

std::optional<std::string> lookup(const std::string &path, const std::string &section, const std::string &key)
{
    std::string bytes;
    if (!readWholeFile(path, bytes, kMaxProfileFileSize))
        return std::nullopt;
    const std::vector<Line> lines = parse(bytes);
    const auto range = findSection(lines, section);
    if (!range)
        return std::nullopt;
    const auto at = findKey(lines, *range, key);
    if (!at)
        return std::nullopt;
    return lines[*at].value;
}

} // namespace

std::string readProfileString(const std::string &path, const std::string &section, const std::string &key,
                              const std::string &defaultValue, std::size_t bufferSize)
{
    std::string value = lookup(path, section, key).value_or(defaultValue);
    const std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
    if (value.size() > room)
        value.resize(room);
    return value;
}

int32_t readProfileInt(const std::string &path, const std::string &section, const std::string &key,
                       int32_t defaultValue)
{
    const auto value = lookup(path, section, key);
    if (!value)
        return defaultValue;
    const std::string &s = *value;
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    uint32_t n = 0; // unsigned, so that an overlong number wraps instead of overflowing
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        n = n * 10u + uint32_t(s[i] - '0');
    if (negative)
        n = 0u - n;
    return static_cast<int32_t>(n);
}

namespace {

// Sets `key` in `section` among the parsed lines, as writeProfileString describes.
void setValue(std::vector<Line> &lines, const std::string &section, const std::string &key,
              const std::string &value)
{
    if (const auto range = findSection(lines, section)) {
        if (const auto at = findKey(lines, *range, key)) {
            Line &line = lines[*at];
            line.text = line.name + "=" + value;
        } else {
            std::size_t insertAt = range->header + 1;
            for (std::size_t i = range->header + 1; i < range->end; ++i) {
                if (trim(lines[i].text, 0, lines[i].text.size()).size() > 0)
                    insertAt = i + 1;
            }
            lines.insert(lines.begin() + std::ptrdiff_t(insertAt), classify(key + "=" + value));
        }
    } else {
        lines.push_back(classify("[" + section + "]"));
        lines.push_back(classify(key + "=" + value));
    }
}

} // namespace

bool writeProfileString(const std::string &path, const std::string &section, const std::string &key,
                        const std::string &value)
{
    return writeProfileStrings(path, {{section, key, value}});
}

bool writeProfileStrings(const std::string &path, const std::vector<ProfileValue> &values)
{
    std::string bytes;
    if (!readWholeFile(path, bytes, kMaxProfileFileSize)) {
        if (pathKind(path) != PathKind::Missing)
            return false; // the file is there but cannot be read: never overwrite it blind
        bytes.clear();
    }
    std::vector<Line> lines = parse(bytes);
    std::size_t extra = 16;
    for (const ProfileValue &v : values) {
        setValue(lines, v.section, v.key, v.value);
        extra += v.section.size() + v.key.size() + v.value.size() + 8;
    }

    std::string out;
    out.reserve(bytes.size() + extra);
    for (const Line &line : lines) {
        out += line.text;
        out += "\r\n";
    }
    return writeFileAtomically(path, out);
}

} // namespace platform
