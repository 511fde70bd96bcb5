#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace Lumen {

// The item behind a picked file: hands out the file's bytes as a representation of a MIME
// type the file conforms to.
class PickerItemProvider {
public:
    // Loading fails with this type's errors when the file is not of the asked type.
    static constexpr char errorType[] = "PickerItemProviderError";
    static constexpr qint64 nonconformingTypeCode = 0;

    // Either the bytes or an error.
    using DataCompletion = std::function<void(std::optional<QByteArray> data, std::optional<UnderlyingError> error)>;

    explicit PickerItemProvider(QUrl fileURL) : m_fileURL(std::move(fileURL)) {}

    const QUrl& fileURL() const { return m_fileURL; }

    // Reads the file on the shared concurrent queue, where `completion` is called once. The
    // file's type is told by `QMimeDatabase` from its name and bytes; it must be
    // `mimeTypeName` or inherit from it. Files are read as by `LocalFileImageDataProvider`.
    void loadDataRepresentation(const QString& mimeTypeName, DataCompletion completion) const;

private:
    QUrl m_fileURL;
};

// What a person picked, for example a file chosen in a `QFileDialog`: the item and, for an
// item of a photo library, its stable identifier there.
struct PickerResult {
    PickerItemProvider itemProvider;
    std::optional<QString> assetIdentifier;
};

} // namespace Lumen
