#include "Lumen/retrieval/PHPickerResultImageDataProvider.h"

#include "Lumen/retrieval/ProviderError.h"

#include <QUuid>

namespace Lumen {

namespace {

using Error = PHPickerResultImageDataProviderError;

} // namespace

UnderlyingError toUnderlyingError(PHPickerResultImageDataProviderError error,
                                  const std::optional<UnderlyingError>& itemProviderError)
{
    const QString message = error == Error::invalidImage
        ? QStringLiteral("The picked item gave no bytes")
        : QStringLiteral("The picked item could not be loaded: ")
            + (itemProviderError ? itemProviderError->description() : QStringLiteral("unknown error"));
    UnderlyingError underlying
        = libraryError(QLatin1StringView("PHPickerResultImageDataProviderError"), static_cast<qint64>(error), message);
    if (itemProviderError)
        return underlying.carrying(*itemProviderError);
    return underlying;
}

PHPickerResultImageDataProvider::PHPickerResultImageDataProvider(PickerResult pickerResult, QMimeType contentType)
    : m_pickerResult(std::move(pickerResult))
    , m_contentType(std::move(contentType))
{
}

QString PHPickerResultImageDataProvider::cacheKey() const
{
    const QString asset = m_pickerResult.assetIdentifier
        ? *m_pickerResult.assetIdentifier
        : QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return asset + QLatin1Char('_') + m_contentType.name();
}

void PHPickerResultImageDataProvider::data(DataHandler handler) const
{
    m_pickerResult.itemProvider.loadDataRepresentation(
        m_contentType.name(),
        [handler = std::move(handler)](std::optional<QByteArray> data, std::optional<UnderlyingError> error) {
            if (error)
                return handler(std::unexpected(toUnderlyingError(Error::pickerProviderError, error)));
            if (data)
                return handler(std::move(*data));
            handler(std::unexpected(toUnderlyingError(Error::invalidImage)));
        });
}

} // namespace Lumen
