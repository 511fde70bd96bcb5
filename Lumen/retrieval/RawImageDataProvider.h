#pragma once

#include "Lumen/retrieval/ImageDataProvider.h"

namespace Lumen {

// Bytes already in memory, handed over unchecked (empty ones too: the decoder judges them).
// The handler runs before `data` returns.
class RawImageDataProvider final : public ImageDataProvider {
public:
    RawImageDataProvider(QByteArray data, QString cacheKey) : m_data(std::move(data)), m_cacheKey(std::move(cacheKey)) {}

    const QByteArray& rawData() const { return m_data; }
    void setCacheKey(QString cacheKey) { m_cacheKey = std::move(cacheKey); }

    QString cacheKey() const override { return m_cacheKey; }
    void data(DataHandler handler) const override { handler(m_data); }

private:
    QByteArray m_data;
    QString m_cacheKey;
};

} // namespace Lumen
