#include "TivrandApp/settings/SettingsViewModel.h"

#include "TivrandApp/services/Diagnostics.h"
#include "TivrandApp/services/KeychainManager.h"

#include <QCoreApplication>
#include <QFutureWatcher>

namespace Tivrand {

template <typename Result, typename Handler>
void SettingsViewModel::whenFinished(QFuture<Result> future, Handler handler)
{
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [watcher, handler = std::move(handler)] {
        watcher->deleteLater();
        handler(watcher->future());
    });
    watcher->setFuture(std::move(future));
}

SettingsViewModel::SettingsViewModel(KeychainManager& keychainManager, QObject* parent)
    : QObject(parent)
    , m_keychainManager(keychainManager)
{
    // One read after the other, so a locked keyring asks the user to unlock it only once.
    setIsLoading(true);
    readAppleId([this] {
        whenFinished(m_keychainManager.hasValidSearchAdsSessionAsync(), [this](const QFuture<bool>& session) {
            setIsLoggedIn(session.result());
            setIsLoading(false);
        });
    });
}

template <typename Value>
void SettingsViewModel::publish(Value& field, const Value& value, void (SettingsViewModel::*changed)())
{
    if (field == value)
        return;
    field = value;
    emit (this->*changed)();
}

void SettingsViewModel::setAppleId(const QString& appleId)
{
    publish(m_appleId, appleId, &SettingsViewModel::appleIdChanged);
}

void SettingsViewModel::setAppSpecificPassword(const QString& password)
{
    publish(m_appSpecificPassword, password, &SettingsViewModel::appSpecificPasswordChanged);
}

void SettingsViewModel::setIsLoading(bool loading)
{
    publish(m_isLoading, loading, &SettingsViewModel::isLoadingChanged);
}

void SettingsViewModel::setError(const std::optional<QString>& error)
{
    publish(m_error, error, &SettingsViewModel::errorChanged);
}

void SettingsViewModel::setIsSuccess(bool success)
{
    publish(m_isSuccess, success, &SettingsViewModel::isSuccessChanged);
}

void SettingsViewModel::setIsLoggedIn(bool loggedIn)
{
    publish(m_isLoggedIn, loggedIn, &SettingsViewModel::isLoggedInChanged);
}

void SettingsViewModel::setAppleIdError(const std::optional<QString>& error)
{
    publish(m_appleIdError, error, &SettingsViewModel::appleIdErrorChanged);
}

void SettingsViewModel::setPasswordError(const std::optional<QString>& error)
{
    publish(m_passwordError, error, &SettingsViewModel::passwordErrorChanged);
}

void SettingsViewModel::loadSavedAppleId()
{
    readAppleId([] {});
}

void SettingsViewModel::readAppleId(std::function<void()> then)
{
    using Saved = std::expected<QString, KeychainError>;
    whenFinished(m_keychainManager.retrieveAsync(QStringLiteral("Tivrand.AppleID")),
                 [this, then = std::move(then)](const QFuture<Saved>& read) {
                     if (const Saved saved = read.result())
                         setAppleId(*saved);
                     else
                         printLine(QStringLiteral("No saved Apple ID found"));
                     then();
                 });
}

QString SettingsViewModel::appVersion()
{
    return QCoreApplication::applicationVersion();
}

} // namespace Tivrand
