#include "platform/codepage.h"

#include "platform/cp932.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

namespace {
constexpr const char *kCodePage = "windows-31j";
}

QString fromCp932(const std::string &bytes)
{
    QStringDecoder dec(kCodePage);
    return dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

QString fromCp932(const char *bytes)
{
    return fromCp932(std::string(bytes ? bytes : ""));
}

std::string toCp932(const QString &text)
{
    {
        QStringEncoder enc(kCodePage, QStringConverter::Flag::Stateless);
        QByteArray whole = enc.encode(text);
        if (!enc.hasError())
            return std::string(whole.constData(), size_t(whole.size()));
    }
    // Some character has no CP932 form: encode character by character so that each
    // such character becomes "?" instead of spoiling the whole text.
    std::string out;
    out.reserve(size_t(text.size()) * 2);
    const QList<uint> ucs = text.toUcs4();
    for (uint cp : ucs) {
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&cp), 1);
        QStringEncoder e(kCodePage, QStringConverter::Flag::Stateless);
        QByteArray b = e.encode(one);
        if (e.hasError() || b.isEmpty())
            out.push_back('?');
        else
            out.append(b.constData(), size_t(b.size()));
    }
    return out;
}

std::string cp932FromUtf8(const char *utf8)
{
    return toCp932(QString::fromUtf8(utf8));
}

std::string utf8FromCp932(const std::string &cp932)
{
    return fromCp932(cp932).toStdString();
}

} // namespace platform
