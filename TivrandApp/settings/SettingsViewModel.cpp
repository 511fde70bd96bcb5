#include "TivrandApp/settings/SettingsViewModel.h"

#include "TivrandApp/services/Diagnostics.h"
#include "TivrandApp/services/KeychainManager.h"

#include <QCoreApplication>

namespace Tivrand {

SettingsViewModel::SettingsViewModel(KeychainManager& keychainManager, QObject* parent)
    : QObject(parent)
    , m_keychainManager(keychainManager)
{
    loadSavedAppleId();
    setIsLoggedIn(m_keychainManager.hasValidSearchAdsSession());
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
    const auto saved = m_keychainManager.retrieve(QStringLiteral("Tivrand.AppleID"));
    if (!saved) {
        printLine(QStringLiteral("No saved Apple ID found"));
        return;
    }
    setAppleId(*saved);
}

QString SettingsViewModel::appVersion()
{
    const QString declared = QCoreApplication::applicationVersion();
    return declared.isEmpty() ? QStringLiteral(TIVRAND_VERSION) : declared;
}

} // namespace Tivrand
