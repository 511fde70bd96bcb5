#pragma once

#include <QString>

namespace Tivrand {

// The error every request can end with. A positive code from the "NetworkManager" domain is the
// HTTP status the server answered with; the negative codes are the named ones below.
struct NetworkError {
    static inline const QString networkManagerDomain = QStringLiteral("NetworkManager");
    static inline const QString endpointDomain = QStringLiteral("Endpoint");

    static constexpr int invalidUrl = -1;      // "Endpoint": the request could not be built
    static constexpr int transportFailed = -2; // no answer (refused, unreachable, TLS, broken)
    static constexpr int timedOut = -3;        // nothing moved for the idle timeout, or past the deadline
    static constexpr int decodingFailed = -4;  // the body is not JSON of the expected shape
    static constexpr int cancelled = -5;       // the request engine went away first
    static constexpr int redirectedElsewhere = -6; // a redirect to another origin, not followed
    static constexpr int tooManyRedirects = -7;    // more redirects in a row than are followed
    static constexpr int responseTooLarge = -8;    // the body is longer than an answer may be

    QString domain;
    int code = 0;
    QString message;

    QString localizedDescription() const { return message; }

    friend bool operator==(const NetworkError&, const NetworkError&) = default;
};

} // namespace Tivrand
