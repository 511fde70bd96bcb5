#include "TivrandApp/services/KeychainManager.h"

#include "TivrandApp/services/KeychainReads.h"
#include "TivrandApp/services/LibsecretStore.h"

#include <QPromise>
#include <QStringDecoder>

#include <memory>
#include <system_error>

namespace Tivrand {
namespace {

const QString searchAdsCookieKey = QStringLiteral("Tivrand.SearchAdsCookie");

std::expected<QString, KeychainError> decodeUtf8(const QByteArray& bytes)
{
    // Strict decoding: a lenient one would hand back replacement characters as if the item
    // were fine. A leading byte-order mark is kept, not silently dropped.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::unexpected(KeychainError::invalidItemFormat(QStringLiteral("the data is not UTF-8 text")));
    return text;
}

bool isSessionCookie(const std::expected<QString, KeychainError>& cookie)
{
    if (!cookie || cookie->isEmpty())
        return false;
    return cookie->contains(QStringLiteral("XSRF-TOKEN-CM=")) || cookie->contains(QStringLiteral("searchads.userId="));
}

} // namespace

KeychainManager& KeychainManager::shared()
{
    static KeychainManager instance(std::make_shared<const LibsecretStore>());
    return instance;
}

KeychainManager::KeychainManager(std::shared_ptr<const SecretStore> store)
    : m_store(std::move(store))
{
}

std::expected<QString, KeychainError> KeychainManager::retrieve(const QString& key) const
{
    return retrieve(key, {});
}

std::expected<QString, KeychainError> KeychainManager::retrieve(const QString& key, std::stop_token stop) const
{
    if (!m_store)
        return std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable,
                                                               QStringLiteral("no secret store")));
    const auto secret = m_store->secret(key, std::move(stop));
    if (!secret)
        return std::unexpected(secret.error());
    if (!secret->has_value())
        return std::unexpected(KeychainError::invalidItemFormat(QStringLiteral("the item has no data")));
    return decodeUtf8(**secret);
}

bool KeychainManager::hasValidSearchAdsSession() const
{
    return isSessionCookie(retrieve(searchAdsCookieKey));
}

QFuture<std::expected<QString, KeychainError>> KeychainManager::retrieveAsync(const QString& key) const
{
    using Result = std::expected<QString, KeychainError>;
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    const auto fulfil = [promise](Result result) {
        promise->addResult(std::move(result));
        promise->finish();
    };
    try {
        // The thread holds a copy of this manager, and with it the store.
        const bool started = KeychainReads::shared().start(
            [manager = *this, key, fulfil](std::stop_token stop) { fulfil(manager.retrieve(key, std::move(stop))); });
        if (!started)
            fulfil(std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::cancelled,
                                                                   QStringLiteral("the application is quitting"))));
    } catch (const std::system_error& error) {
        const QString reason = QString::fromLocal8Bit(error.what());
        fulfil(std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::failed, reason)));
    }
    return future;
}

QFuture<bool> KeychainManager::hasValidSearchAdsSessionAsync() const
{
    return retrieveAsync(searchAdsCookieKey).then(isSessionCookie);
}

} // namespace Tivrand
