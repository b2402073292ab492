#include "logo/logolayout.h"

#include "platform/atomicfile.h"
#include "platform/textlines.h"
#include "texts/files.h"
#include "texts/logo.h"

#include <QFile>

namespace {

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Length of the character at `i`: 2 for a CP932 lead byte followed by a trail byte, else 1.
size_t charLength(std::string_view s, size_t i)
{
    if (isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()
        && isTrailByte(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

void appendQuoted(std::string &line, std::string_view text)
{
    line += '"';
    EscapeLineBreaks(line, text);
    line += '"';
}

void appendTextLayerLine(std::string &out, int index, const TextLayer &layer)
{
    out += "TEXTLAYER,";
    out += std::to_string(index);
    out += ',';
    out += std::to_string(layer.x);
    out += ',';
    out += std::to_string(layer.y);
    out += ',';
    appendQuoted(out, layer.faceName);
    out += ',';
    out += std::to_string(layer.size);
    out += ',';
    appendQuoted(out, layer.text);
    out += "\r\n";
}

void readTextLayerLine(std::string_view rest, LogoLayout &fileCopy)
{
    const int32_t index = ReadIntField(rest);
    if (index != ShopNameLayer && index != TelLayer)
        return; // the model has two layers; anything else names none of them
    TextLayer &layer = fileCopy.layers[size_t(index)];
    layer.x = ReadIntField(rest);
    layer.y = ReadIntField(rest);
    ReadQuotedField(rest, layer.faceName);
    layer.size = ReadIntField(rest);
    ReadQuotedField(rest, layer.text);
}

} // namespace

void EscapeLineBreaks(std::string &dest, std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const size_t len = charLength(text, i);
        if (len == 2) {
            dest.append(text.substr(i, 2));
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            dest += "\\n";
            i += 2;
            continue;
        } else if (c == '\n') {
            dest += "\\n";
        } else if (c == '"') {
            dest += "\\\"";
        } else if (c == '\\') {
            // The byte written next decides whether the reader would take this backslash
            // as the start of an escape.
            const size_t n = i + 1;
            const bool escapeStartsNext = n == text.size() || text[n] == '\\' || text[n] == 'n'
                                          || text[n] == '"' || text[n] == '\n'
                                          || (text[n] == '\r' && n + 1 < text.size() && text[n + 1] == '\n');
            dest += escapeStartsNext ? "\\\\" : "\\";
        } else {
            dest += c;
        }
        i += len;
    }
}

int32_t ReadIntField(std::string_view &cursor)
{
    size_t i = 0;
    while (i < cursor.size() && !isDigit(cursor[i]))
        ++i;
    if (i == cursor.size()) {
        cursor = {};
        return 0;
    }
    // The number starts at a minus sign right in front of the digits, else at the digits.
    const size_t start = i > 0 && cursor[i - 1] == '-' ? i - 1 : i;
    size_t used = 0;
    const int32_t v = ReadDecimal(cursor.substr(start), &used);
    cursor.remove_prefix(start + used);
    return v;
}

void ReadQuotedField(std::string_view &cursor, std::string &out)
{
    out.clear();
    if (cursor.empty())
        return;
    size_t i = cursor.find('"');
    if (i == std::string_view::npos) {
        cursor = {};
        return;
    }
    ++i;
    while (i < cursor.size()) {
        const char c = cursor[i];
        const size_t len = charLength(cursor, i);
        if (len == 2) {
            out.append(cursor.substr(i, 2));
            i += 2;
            continue;
        }
        if (c == '"') {
            cursor.remove_prefix(i + 1);
            return;
        }
        if (c == '\\' && i + 1 < cursor.size()) {
            const char next = cursor[i + 1];
            if (next == 'n') {
                out += "\r\n";
                i += 2;
                continue;
            }
            if (next == '"' || next == '\\') {
                out += next;
                i += 2;
                continue;
            }
        }
        out += c; // a backslash before anything else stays; the next byte is read normally
        ++i;
    }
    cursor = {};
}

std::string FormatLayoutFile(const LogoLayout &layout)
{
    std::string out = "SHOPLOGO\r\nPRINTER,";
    out += std::to_string(layout.printerType);
    out += "\r\nBGLAYER,\"";
    out += layout.backgroundName; // a file name: written as it is
    out += "\"\r\n";
    for (int i = 0; i < 2; ++i)
        appendTextLayerLine(out, i, layout.layers[size_t(i)]);
    return out;
}

bool ParseLayoutFile(std::string_view content, LogoLayout &fileCopy)
{
    std::string_view line;
    if (!nextLine(content, line) || line != "SHOPLOGO")
        return false;
    LogoLayout read = fileCopy;
    while (nextLine(content, line)) {
        const size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, comma);
        const std::string_view rest = line.substr(comma + 1);
        if (key == "PRINTER") {
            read.printerType = ReadDecimal(rest);
        } else if (key == "BGLAYER") {
            read.backgroundName.clear();
            for (char c : rest)
                if (c != '"')
                    read.backgroundName += c;
        } else if (key == "TEXTLAYER") {
            readTextLayerLine(rest, read);
        }
    }
    fileCopy = std::move(read);
    return true;
}

SaveLayoutOutcome SaveLayoutFile(const QString &path, const LogoLayout &layout)
{
    const std::string local = QFile::encodeName(path).toStdString();
    return platform::writeFileAtomically(local, FormatLayoutFile(layout)) ? SaveLayoutOutcome::Saved
                                                                           : SaveLayoutOutcome::CannotCreate;
}

LoadLayoutOutcome LoadLayoutFile(const QString &path, LogoLayout &fileCopy)
{
    std::string content;
    if (!platform::readWholeFile(QFile::encodeName(path).toStdString(), content, kMaxLayoutFileSize))
        return LoadLayoutOutcome::CannotOpen;
    return ParseLayoutFile(content, fileCopy) ? LoadLayoutOutcome::Loaded : LoadLayoutOutcome::WrongKind;
}

OperatorMessage MessageFor(SaveLayoutOutcome outcome)
{
    switch (outcome) {
    case SaveLayoutOutcome::Saved:
        return FileWrittenMessage();
    case SaveLayoutOutcome::CannotCreate:
        break;
    }
    return CannotCreateFileMessage();
}

OperatorMessage MessageFor(LoadLayoutOutcome outcome)
{
    switch (outcome) {
    case LoadLayoutOutcome::Loaded:
        return MakeMessage(logotext::kMsgLayoutLoaded, platform::MsgIcon::Information);
    case LoadLayoutOutcome::CannotOpen:
        return MakeMessage(filetext::kMsgCannotOpenFile, platform::MsgIcon::Stop);
    case LoadLayoutOutcome::WrongKind:
        break;
    }
    return WrongFileMessage();
}
