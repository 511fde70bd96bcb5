#include "Lumen/retrieval/LivePhotoSource.h"

#include <QStringList>

namespace Lumen {

QString LivePhotoResource::FileType::description() const
{
    switch (m_kind) {
    case Kind::heic:
        return QStringLiteral("heic");
    case Kind::mov:
        return QStringLiteral("mov");
    case Kind::other:
        break;
    }
    return QStringLiteral("other(\"") + m_otherExtension + QStringLiteral("\")");
}

QString LivePhotoResource::description() const
{
    return QStringLiteral("LivePhotoResource(dataSource: ") + dataSource.description()
        + QStringLiteral(", referenceFileType: ") + referenceFileType.description() + QLatin1Char(')');
}

QString LivePhotoSource::description() const
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(resources.size()));
    for (const auto& resource : resources)
        texts.append(resource.description());
    return QStringLiteral("LivePhotoSource(resources: [") + texts.join(QStringLiteral(", ")) + QStringLiteral("])");
}

} // namespace Lumen
