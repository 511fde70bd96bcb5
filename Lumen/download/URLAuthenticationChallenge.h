#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

#include <optional>

namespace Lumen {

// What a server presented when its certificate did not pass the stack's own evaluation: the
// errors found and the chain it sent. Trusting it means ignoring exactly these errors.
struct ServerTrust {
    QList<QSslError> errors;
    QList<QSslCertificate> certificateChain;
};

enum class AuthenticationMethod { serverTrust, httpBasic, httpDigest, ntlm, negotiate, other };

// Where a challenge comes from.
struct URLProtectionSpace {
    QString host;
    int port = -1;
    // "http" or "https".
    QString protocol;
    std::optional<QString> realm;
    AuthenticationMethod authenticationMethod = AuthenticationMethod::other;
    // Present for `serverTrust` challenges only.
    std::optional<ServerTrust> serverTrust;
};

// The answer to a challenge: a user and password for HTTP authentication, or a server's trust.
struct URLCredential {
    static URLCredential withUser(QString user, QString password);
    static URLCredential forTrust(ServerTrust trust);

    QString user;
    QString password;
    std::optional<ServerTrust> serverTrust;
};

struct URLAuthenticationChallenge {
    URLProtectionSpace protectionSpace;
    // How many answers to this challenge the server has already refused.
    int previousFailureCount = 0;
};

enum class AuthChallengeDisposition {
    useCredential,
    performDefaultHandling,
    cancelAuthenticationChallenge,
    rejectProtectionSpace,
};

struct AuthChallengeAnswer {
    AuthChallengeDisposition disposition = AuthChallengeDisposition::performDefaultHandling;
    std::optional<URLCredential> credential;
};

// Whether a transfer goes on once its response has arrived.
enum class ResponseDisposition { cancel, allow };

} // namespace Lumen
