#pragma once

#include "TivrandApp/services/Endpoint.h"

#include <QString>

#include <variant>

namespace Tivrand {

// The store catalog's routes. Base URL and token are constants of the program; the environment
// variables TIVRAND_CATALOG_URL and TIVRAND_CATALOG_TOKEN replace them (for development and
// tests), read when a route is made.
class SearchAPIRouter final : public Endpoint {
public:
    struct SearchApp {
        QString platform; // a Platform raw value
        QString term;
        QString countryCode;
        QString language;
    };
    struct GetContents {
        QString platform;
        QString ids; // joined by ","
        QString countryCode;
        QString language;
    };
    using Route = std::variant<SearchApp, GetContents>;

    static SearchAPIRouter searchApp(const QString& platform, const QString& term, const QString& countryCode,
                                     const QString& language);
    static SearchAPIRouter getContents(const QString& platform, const QString& ids, const QString& countryCode,
                                       const QString& language);

    QUrl baseUrl() const override;
    QString path() const override;
    HttpMethod method() const override;
    QList<std::pair<QString, QString>> parameters() const override;
    QByteArray body() const override;
    // "Host" follows the base URL actually used (with its port when not the scheme's default).
    QList<std::pair<QByteArray, QByteArray>> headers() const override;

private:
    explicit SearchAPIRouter(Route route);

    Route m_route;
    QUrl m_baseUrl;
    QByteArray m_token;
};

} // namespace Tivrand
