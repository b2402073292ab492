// quorvel-textgen IN OUT: turns a text catalogue written in UTF-8 into the header the code
// compiles, with every string literal held as Japanese code page (CP932) bytes.
//
// The catalogue is ordinary C++ (declarations of texts and tables). Everything outside
// string literals is copied as it is; inside an ordinary string literal, the ASCII
// characters and escape sequences stay as written and every run of other characters
// becomes its CP932 bytes as three-digit octal escapes. Line structure is kept and a #line
// directive names the catalogue, so the compiler's messages point at the catalogue's lines.
//
// A character that CP932 cannot hold, an unterminated literal or a prefixed literal
// (u8"", L"", R"()") fails the build with a message naming the line: the texts are the
// system's own and must all reach the code page exactly.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringEncoder>

#include <cctype>
#include <cstdio>
#include <string>

namespace {

struct Generator {
    std::string in;
    std::string out;
    size_t i = 0;
    int line = 1;
    std::string error;

    bool fail(const std::string &what)
    {
        error = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    void copy(size_t n)
    {
        for (size_t k = 0; k < n && i < in.size(); ++k, ++i) {
            if (in[i] == '\n')
                ++line;
            out += in[i];
        }
    }

    // Appends CP932 bytes as three-digit octal escapes, which end by themselves: a digit
    // after one stays a character of its own, and the literal is never split.
    bool convertRun(const std::string &utf8)
    {
        const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        if (text.contains(QChar::ReplacementCharacter))
            return fail("a string literal holds bytes that are not UTF-8");
        QStringEncoder enc("windows-31j", QStringConverter::Flag::Stateless);
        const QByteArray bytes = enc.encode(text);
        if (enc.hasError())
            return fail("\"" + utf8 + "\" holds a character the Japanese code page cannot hold");
        for (char b : bytes) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", unsigned(static_cast<unsigned char>(b)));
            out += buf;
        }
        return true;
    }

    bool stringLiteral()
    {
        if (i > 0 && (std::isalnum(static_cast<unsigned char>(in[i - 1])) || in[i - 1] == '_'))
            return fail("prefixed string literals are not converted; write a plain \"...\"");
        out += '"';
        ++i;
        bool hexOpen = false;
        std::string run;
        auto flush = [&]() {
            if (run.empty())
                return true;
            const bool ok = convertRun(run);
            run.clear();
            return ok;
        };
        while (i < in.size()) {
            const unsigned char c = static_cast<unsigned char>(in[i]);
            if (c >= 0x80) {
                run += char(c);
                ++i;
                continue;
            }
            if (!flush())
                return false;
            if (c == '\n')
                return fail("unterminated string literal");
            if (c == '"') {
                out += '"';
                ++i;
                return true;
            }
            if (hexOpen && std::isxdigit(c))
                out += "\" \""; // end the escape before a character that would extend it
            hexOpen = false;
            if (c == '\\') {
                if (i + 1 >= in.size())
                    return fail("unterminated string literal");
                const char next = in[i + 1];
                copy(2);
                if (next == 'x') { // the source's own hex escape: copy its digits too
                    while (i < in.size() && std::isxdigit(static_cast<unsigned char>(in[i])))
                        copy(1);
                    hexOpen = true;
                }
                continue;
            }
            copy(1);
        }
        return fail("unterminated string literal");
    }

    bool run()
    {
        while (i < in.size()) {
            const char c = in[i];
            if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
                const size_t end = in.find('\n', i);
                copy((end == std::string::npos ? in.size() : end) - i);
            } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
                const size_t end = in.find("*/", i + 2);
                if (end == std::string::npos)
                    return fail("unterminated comment");
                copy(end + 2 - i);
            } else if (c == '\'') {
                copy(1);
                while (i < in.size() && in[i] != '\'' && in[i] != '\n')
                    copy(in[i] == '\\' ? 2 : 1);
                copy(1);
            } else if (c == '"') {
                if (!stringLiteral())
                    return false;
            } else {
                copy(1);
            }
        }
        return true;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvel-textgen CATALOGUE.u8.h OUT.h\n");
        return 2;
    }
    QFile inFile(QString::fromLocal8Bit(argv[1]));
    if (!inFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "quorvel-textgen: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray content = inFile.readAll();
    Generator g;
    g.in.assign(content.constData(), size_t(content.size()));
    g.out = "// Generated by quorvel-textgen from the catalogue named below: edit that file.\n";
    g.out += "#line 1 \"" + std::string(argv[1]) + "\"\n";
    if (!g.run()) {
        std::fprintf(stderr, "%s:%s\n", argv[1], g.error.c_str());
        return 1;
    }
    QFile outFile(QString::fromLocal8Bit(argv[2]));
    if (!outFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        outFile.write(g.out.data(), qint64(g.out.size())) != qint64(g.out.size()) || !outFile.flush()) {
        std::fprintf(stderr, "quorvel-textgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
