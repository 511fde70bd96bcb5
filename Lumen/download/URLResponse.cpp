#include "Lumen/download/URLResponse.h"

#include "Lumen/foundation/ObjectDescription.h"

#include <QStringList>

namespace Lumen {

QString URLResponse::description() const
{
    QString text = QStringLiteral("<URLResponse> { URL: ") + describeUrl(url) + QStringLiteral(" }");
    if (!statusCode)
        return text;

    QStringList headerTexts;
    headerTexts.reserve(headers.size());
    for (const auto& [name, value] : headers)
        headerTexts.append(QString::fromLatin1(name) + QStringLiteral(": ") + QString::fromLatin1(value));
    return text + QStringLiteral(" { Status Code: ") + QString::number(*statusCode) + QStringLiteral(", Headers { ")
        + headerTexts.join(QStringLiteral("; ")) + QStringLiteral(" } }");
}

} // namespace Lumen
