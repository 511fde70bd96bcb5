#include "Lumen/retrieval/Base64ImageDataProvider.h"

#include "Lumen/retrieval/ProviderError.h"

namespace Lumen {

namespace {

ImageDataProvider::Result decodedStrictly(const QString& text)
{
    // Qt's strict mode still takes unpadded text; whole groups of four are required here.
    if (text.size() % 4 == 0) {
        auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded)
            return std::move(decoded.decoded);
    }
    return std::unexpected(libraryError(QLatin1StringView(Base64ImageDataProvider::errorType),
                                        Base64ImageDataProvider::invalidBase64Code,
                                        QStringLiteral("The text is not valid Base64")));
}

} // namespace

void Base64ImageDataProvider::data(DataHandler handler) const
{
    handler(decodedStrictly(m_base64String));
}

} // namespace Lumen
