#include "Lumen/download/URLAuthenticationChallenge.h"

#include <utility>

namespace Lumen {

URLCredential URLCredential::withUser(QString user, QString password)
{
    return URLCredential{std::move(user), std::move(password), std::nullopt};
}

URLCredential URLCredential::forTrust(ServerTrust trust)
{
    return URLCredential{{}, {}, std::move(trust)};
}

} // namespace Lumen
