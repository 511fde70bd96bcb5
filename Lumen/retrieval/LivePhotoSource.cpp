#include "Lumen/retrieval/LivePhotoSource.h"

#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/retrieval/IsoBrand.h"

#include <QFileInfo>

#include <algorithm>

namespace Lumen {

namespace {

const QString heicExtension = QStringLiteral("heic");
const QString movExtension = QStringLiteral("mov");

bool isSafeExtension(QStringView extension)
{
    constexpr qsizetype longest = 8;
    return !extension.isEmpty() && extension.size() <= longest
        && std::ranges::all_of(extension, [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
           });
}

} // namespace

LivePhotoResource::FileType LivePhotoResource::FileType::other(QStringView fileExtension)
{
    QString lowered = fileExtension.toString().toLower();
    if (!isSafeExtension(lowered))
        lowered.clear();
    return FileType(Kind::other, std::move(lowered));
}

LivePhotoResource::FileType LivePhotoResource::FileType::fromURL(const QUrl& url)
{
    const QString extension = QFileInfo(url.path()).suffix().toLower();
    if (extension == movExtension)
        return mov();
    if (extension == heicExtension)
        return heic();
    return other(extension);
}

std::optional<QString> LivePhotoResource::FileType::determinedFileExtension(const QByteArray& data) const
{
    switch (m_kind) {
    case Kind::heic:
        return heicExtension;
    case Kind::mov:
        return movExtension;
    case Kind::other:
        break;
    }
    if (!m_otherExtension.isEmpty())
        return m_otherExtension;
    const auto brand = isoMajorBrand(data);
    if (brand == QByteArrayLiteral("heic"))
        return heicExtension;
    if (brand == QByteArrayLiteral("qt  "))
        return movExtension;
    return std::nullopt;
}

QStringList LivePhotoResource::FileType::lookupExtensions() const
{
    switch (m_kind) {
    case Kind::heic:
        return {heicExtension};
    case Kind::mov:
        return {movExtension};
    case Kind::other:
        break;
    }
    return m_otherExtension.isEmpty() ? QStringList{heicExtension, movExtension} : QStringList{m_otherExtension};
}

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

LivePhotoResource::LivePhotoResource(Source dataSource, std::optional<FileType> fileType)
    : dataSource(std::move(dataSource))
    , referenceFileType(fileType ? std::move(*fileType) : FileType::fromURL(this->dataSource.url().value_or(QUrl())))
{
}

LivePhotoResource::LivePhotoResource(std::shared_ptr<const Resource> resource, std::optional<FileType> fileType)
    : LivePhotoResource(Source::network(std::move(resource)), std::move(fileType))
{
}

LivePhotoResource::LivePhotoResource(const QUrl& downloadURL, std::optional<QString> cacheKey,
                                     std::optional<FileType> fileType)
    : LivePhotoResource(Source::network(LM::ImageResource(downloadURL, std::move(cacheKey))), std::move(fileType))
{
}

QString LivePhotoResource::description() const
{
    return QStringLiteral("LivePhotoResource(dataSource: ") + dataSource.description()
        + QStringLiteral(", referenceFileType: ") + referenceFileType.description() + QLatin1Char(')');
}

LivePhotoSource LivePhotoSource::fromResources(const std::vector<std::shared_ptr<const Resource>>& resources)
{
    LivePhotoSource source;
    source.resources.reserve(resources.size());
    for (const auto& resource : resources)
        source.resources.emplace_back(resource);
    return source;
}

LivePhotoSource LivePhotoSource::fromURLs(const std::vector<QUrl>& urls)
{
    LivePhotoSource source;
    source.resources.reserve(urls.size());
    for (const QUrl& url : urls)
        source.resources.emplace_back(url);
    return source;
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
