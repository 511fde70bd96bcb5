#include "Lumen/download/PublicSuffixes.h"

#include <QHostAddress>
#include <QUrl>

#include <libpsl.h>

namespace Lumen::PublicSuffixes {

namespace {

// The newest list at hand, the system's or the library's own; read-only, so any thread may use
// it. Never released: statics destroyed at exit may still ask.
const psl_ctx_t* list()
{
    static const psl_ctx_t* const latest = psl_latest(nullptr);
    return latest;
}

bool isAddress(const QString& host)
{
    return !QHostAddress(host).isNull();
}

} // namespace

QString canonicalHost(const QString& host)
{
    const QByteArray ace = QUrl::toAce(host);
    return ace.isEmpty() ? host.toLower() : QString::fromLatin1(ace).toLower();
}

QString siteOf(const QString& host)
{
    const QString canonical = canonicalHost(host);
    if (!list() || isAddress(canonical))
        return canonical;
    const QByteArray name = canonical.toLatin1();
    const char* const registrable = psl_registrable_domain(list(), name.constData());
    return registrable ? QString::fromLatin1(registrable) : canonical;
}

bool isPublicSuffix(const QString& domain)
{
    const QString canonical = canonicalHost(domain);
    if (!list() || isAddress(canonical))
        return false;
    return psl_is_public_suffix(list(), canonical.toLatin1().constData()) != 0;
}

} // namespace Lumen::PublicSuffixes
