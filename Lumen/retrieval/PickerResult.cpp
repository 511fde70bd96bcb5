#include "Lumen/retrieval/PickerResult.h"

#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/retrieval/ProviderError.h"
#include "Lumen/retrieval/RegularFileReading.h"

#include <QMimeDatabase>

#include <cerrno>

namespace Lumen {

namespace {

std::expected<QByteArray, UnderlyingError> representation(const QUrl& fileURL, const QString& mimeTypeName)
{
    if (!fileURL.isLocalFile())
        return std::unexpected(fileError(EINVAL, QStringLiteral("Not a file URL: ") + describeUrl(fileURL)));
    const QString path = fileURL.toLocalFile();
    auto content = readRegularFile(path, providedFileSizeLimit);
    if (!content)
        return content;
    // Told from bytes already read, so the type check never opens the file again.
    const QMimeType fileType = QMimeDatabase().mimeTypeForFileNameAndData(path, *content);
    if (mimeTypeName.isEmpty() || !fileType.inherits(mimeTypeName))
        return std::unexpected(libraryError(QLatin1StringView(PickerItemProvider::errorType),
                                            PickerItemProvider::nonconformingTypeCode,
                                            QStringLiteral("The file is of type %1, not %2: %3")
                                                .arg(fileType.name(), mimeTypeName, path)));
    return content;
}

} // namespace

void PickerItemProvider::loadDataRepresentation(const QString& mimeTypeName, DataCompletion completion) const
{
    // The name is copied: the caller's string may be shared with Qt's own objects, which release
    // it inside Qt where ThreadSanitizer cannot see that the reference count was shared.
    DispatchQueue::global()->async([fileURL = m_fileURL, typeName = mimeTypeName.toStdU16String(),
                                    completion = std::move(completion)] {
        auto content = representation(fileURL, QString::fromStdU16String(typeName));
        if (content)
            completion(std::move(*content), std::nullopt);
        else
            completion(std::nullopt, std::move(content.error()));
    });
}

} // namespace Lumen
