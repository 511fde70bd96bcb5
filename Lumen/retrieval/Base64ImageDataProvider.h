#pragma once

#include "Lumen/retrieval/ImageDataProvider.h"

namespace Lumen {

// The bytes of Base64 text, decoded strictly: the text must be whole padded groups of the
// Base64 alphabet and nothing else (no line breaks or blanks). Text that does not decode
// fails with `invalidBase64Code`. The handler runs before `data` returns.
class Base64ImageDataProvider final : public ImageDataProvider {
public:
    static constexpr char errorType[] = "Base64ImageDataProviderError";
    static constexpr qint64 invalidBase64Code = 0;

    Base64ImageDataProvider(QString base64String, QString cacheKey)
        : m_base64String(std::move(base64String)), m_cacheKey(std::move(cacheKey)) {}

    const QString& base64String() const { return m_base64String; }
    void setCacheKey(QString cacheKey) { m_cacheKey = std::move(cacheKey); }

    QString cacheKey() const override { return m_cacheKey; }
    void data(DataHandler handler) const override;

private:
    QString m_base64String;
    QString m_cacheKey;
};

} // namespace Lumen
