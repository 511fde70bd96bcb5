#include "Lumen/retrieval/URLKeys.h"

#include <QStringList>
#include <QUrl>

namespace Lumen {

namespace {

// The root "/" of an absolute path, then each non-empty segment.
QStringList pathComponents(const QUrl& url)
{
    const QString path = url.path(QUrl::FullyDecoded);
    QStringList components;
    if (path.startsWith(QLatin1Char('/')))
        components.append(QStringLiteral("/"));
    components.append(path.split(QLatin1Char('/'), Qt::SkipEmptyParts));
    return components;
}

bool isBundleComponent(const QString& component)
{
    return component.endsWith(QLatin1String(".app")) || component.endsWith(QLatin1String(".appex"));
}

} // namespace

QString absoluteString(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded);
}

QString localFileCacheKey(const QUrl& url)
{
    const QStringList components = pathComponents(url);
    qsizetype first = 0;
    for (qsizetype index = components.size() - 1; index >= 0; --index) {
        if (isBundleComponent(components[index])) {
            first = index;
            break;
        }
    }
    QString key = QStringLiteral("lumen.local.cacheKey/") + components.mid(first).join(QLatin1Char('/'));
    if (url.hasQuery())
        key += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    return key;
}

} // namespace Lumen
