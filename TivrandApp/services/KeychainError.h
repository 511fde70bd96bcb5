#pragma once

#include <QString>

#include <optional>

namespace Tivrand {

// What the secret store answered instead of an item.
enum class KeychainStatus {
    itemNotFound,
    serviceUnavailable, // no D-Bus session, or no Secret Service on it
    timedOut,
    cancelled, // the application ended first
    failed,
};

QString statusText(KeychainStatus status);

class KeychainError {
public:
    enum class Kind {
        unexpectedStatus,
        invalidItemFormat, // the item has no data, or the data is not UTF-8 text
    };

    static KeychainError unexpectedStatus(KeychainStatus status, QString detail = {});
    static KeychainError invalidItemFormat(QString detail);

    Kind kind() const;
    // Present exactly for `unexpectedStatus`.
    std::optional<KeychainStatus> status() const;
    // The store's own words, when it gave any.
    const QString& detail() const;
    QString description() const;

    friend bool operator==(const KeychainError&, const KeychainError&) = default;

private:
    KeychainError(Kind kind, std::optional<KeychainStatus> status, QString detail);

    Kind m_kind;
    std::optional<KeychainStatus> m_status;
    QString m_detail;
};

} // namespace Tivrand
