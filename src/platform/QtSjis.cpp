#include "platform/QtSjis.h"
#include "text/JCode.h"

QString fromSjis(const std::string &sjis)
{
    const std::string utf8 = SjisToUtf8(sjis);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toSjis(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToAnsi(std::string(utf8.constData(), static_cast<size_t>(utf8.size())));
}
