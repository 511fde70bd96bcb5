#include "Lumen/foundation/ObjectDescription.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>

namespace Lumen {

QString describeObject(const char* typeName, const void* object)
{
    if (!object)
        return QStringLiteral("nil");
    const auto address = reinterpret_cast<std::uintptr_t>(object);
    return QStringLiteral("<%1: 0x%2>")
        .arg(QString::fromLatin1(typeName), QString::number(static_cast<qulonglong>(address), 16));
}

QString describeUrl(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded | QUrl::RemovePassword);
}

QString describeData(const QByteArray& data)
{
    return QString::number(data.size()) + QStringLiteral(" bytes");
}

QString describeOptional(const std::optional<QString>& description)
{
    return description ? QStringLiteral("Optional(") + *description + QLatin1Char(')') : QStringLiteral("nil");
}

} // namespace Lumen
