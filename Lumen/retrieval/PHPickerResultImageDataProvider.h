#pragma once

#include "Lumen/retrieval/ImageDataProvider.h"
#include "Lumen/retrieval/PickerResult.h"

#include <QMimeType>

namespace Lumen {

// Why a picked item gave no bytes. Passed on as an `UnderlyingError` in the domain
// "Lumen.PHPickerResultImageDataProviderError" with the case's value as code.
enum class PHPickerResultImageDataProviderError {
    // The item provider failed; its error is described in the message and carried as the
    // error's `payload<UnderlyingError>()`.
    pickerProviderError,
    invalidImage, // the item provider answered with neither bytes nor an error
};

UnderlyingError toUnderlyingError(PHPickerResultImageDataProviderError error,
                                  const std::optional<UnderlyingError>& itemProviderError = std::nullopt);

// The bytes of a picked item as a representation of `contentType`. The handler runs on the
// item provider's thread.
class PHPickerResultImageDataProvider final : public ImageDataProvider {
public:
    PHPickerResultImageDataProvider(PickerResult pickerResult, QMimeType contentType);

    const PickerResult& pickerResult() const { return m_pickerResult; }
    const QMimeType& contentType() const { return m_contentType; }

    // Made on each read: the asset identifier, or for an item without one a fresh UUID (so that
    // no two reads agree), + "_" + the MIME type's name.
    QString cacheKey() const override;
    void data(DataHandler handler) const override;

private:
    PickerResult m_pickerResult;
    QMimeType m_contentType;
};

} // namespace Lumen
