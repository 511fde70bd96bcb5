#pragma once

#include "TivrandApp/services/KeychainManager.h"
#include "TivrandApp/services/SecretStore.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <mutex>

namespace Tivrand::Testing {

// A Keychain answering from a fixed table; accounts not in it are missing items. It remembers
// which accounts were asked for, in order.
class FakeSecretStore final : public SecretStore {
public:
    using Answer = std::expected<std::optional<QByteArray>, KeychainError>;

    void set(const QString& account, Answer answer)
    {
        std::lock_guard lock(m_mutex);
        m_answers.insert(account, std::move(answer));
    }

    void setText(const QString& account, const QByteArray& bytes) { set(account, std::optional(bytes)); }

    Answer secret(const QString& account) const override
    {
        std::lock_guard lock(m_mutex);
        m_asked.append(account);
        return m_answers.value(account, std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::itemNotFound)));
    }

    QStringList asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    mutable std::mutex m_mutex;
    QHash<QString, Answer> m_answers;
    mutable QStringList m_asked;
};

inline const QString appleIdAccount = QStringLiteral("Tivrand.AppleID");
inline const QString cookieAccount = QStringLiteral("Tivrand.SearchAdsCookie");

// A Keychain manager over its own fake store.
struct FakeKeychain {
    std::shared_ptr<FakeSecretStore> store = std::make_shared<FakeSecretStore>();
    KeychainManager manager{store};
};

} // namespace Tivrand::Testing
