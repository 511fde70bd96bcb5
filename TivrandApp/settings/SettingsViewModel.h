#pragma once

#include <QFuture>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace Tivrand {

class KeychainManager;

// The account state behind the settings window, read from the Keychain once, when the model
// is made. The reads run in the background (the keyring may first ask the user to unlock it),
// one after the other, with `isLoading` set meanwhile. Nothing here writes the Keychain. Lives
// on the GUI thread.
class SettingsViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString appleId READ appleId WRITE setAppleId NOTIFY appleIdChanged)
    Q_PROPERTY(QString appSpecificPassword READ appSpecificPassword WRITE setAppSpecificPassword
                   NOTIFY appSpecificPasswordChanged)
    Q_PROPERTY(bool isLoading READ isLoading WRITE setIsLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool isSuccess READ isSuccess WRITE setIsSuccess NOTIFY isSuccessChanged)
    Q_PROPERTY(bool isLoggedIn READ isLoggedIn WRITE setIsLoggedIn NOTIFY isLoggedInChanged)

public:
    explicit SettingsViewModel(KeychainManager& keychainManager, QObject* parent = nullptr);

    const QString& appleId() const { return m_appleId; }
    void setAppleId(const QString& appleId);
    const QString& appSpecificPassword() const { return m_appSpecificPassword; }
    void setAppSpecificPassword(const QString& password);
    bool isLoading() const { return m_isLoading; }
    void setIsLoading(bool loading);
    const std::optional<QString>& error() const { return m_error; }
    void setError(const std::optional<QString>& error);
    bool isSuccess() const { return m_isSuccess; }
    void setIsSuccess(bool success);
    bool isLoggedIn() const { return m_isLoggedIn; }
    void setIsLoggedIn(bool loggedIn);
    const std::optional<QString>& appleIdError() const { return m_appleIdError; }
    void setAppleIdError(const std::optional<QString>& error);
    const std::optional<QString>& passwordError() const { return m_passwordError; }
    void setPasswordError(const std::optional<QString>& error);

    // Starts reading "Tivrand.AppleID" into `appleId`; when that fails, says so on standard
    // output and leaves `appleId` as it was.
    void loadSavedAppleId();

    // The version the running application declares; empty when it declares none.
    static QString appVersion();

signals:
    void appleIdChanged();
    void appSpecificPasswordChanged();
    void isLoadingChanged();
    void errorChanged();
    void isSuccessChanged();
    void isLoggedInChanged();
    void appleIdErrorChanged();
    void passwordErrorChanged();

private:
    template <typename Value>
    void publish(Value& field, const Value& value, void (SettingsViewModel::*changed)());
    // Runs `handler` with the finished future on the GUI thread, unless this model is gone.
    template <typename Result, typename Handler>
    void whenFinished(QFuture<Result> future, Handler handler);
    void readAppleId(std::function<void()> then);

    QString m_appleId;
    QString m_appSpecificPassword;
    bool m_isLoading = false;
    std::optional<QString> m_error;
    bool m_isSuccess = false;
    bool m_isLoggedIn = false;
    std::optional<QString> m_appleIdError;
    std::optional<QString> m_passwordError;
    KeychainManager& m_keychainManager;
};

} // namespace Tivrand
