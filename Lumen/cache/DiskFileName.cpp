#include "Lumen/cache/DiskFileName.h"

#include "Lumen/foundation/Digest.h"
#include "Lumen/foundation/KeyHelpers.h"

#include <QRandomGenerator>

#include <cmath>

namespace Lumen {

namespace {

constexpr QLatin1StringView temporaryPrefix(".lumen-partial-");

// A hidden name would escape the sweeps, which skip hidden files; unpaired surrogates have
// no file-system form, so two such names would share one file.
bool isUsableFileName(const QString& name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && !name.contains(QLatin1Char('/'))
        && !name.contains(QChar(u'\0')) && name.isValidUtf16();
}

QString withExtension(const QString& base, const QString& extension)
{
    return base + QLatin1Char('.') + extension;
}

} // namespace

std::optional<QString> diskCacheFileName(const QString& key, const std::optional<QString>& forcedExtension,
                                         const DiskStorageConfig& config)
{
    const std::optional<QString> extension = forcedExtension ? forcedExtension : config.pathExtension;
    QString name;
    if (!config.usesHashedFileName) {
        name = extension ? withExtension(key, *extension) : key;
    } else {
        const QString base = sha256Hex(key);
        if (extension) {
            name = withExtension(base, *extension);
        } else {
            name = base;
            if (config.autoExtAfterHashedFileName) {
                const std::optional<QString> own = fileExtension(key);
                if (own && isUsableFileName(withExtension(base, *own)))
                    name = withExtension(base, *own);
            }
        }
    }
    if (!isUsableFileName(name))
        return std::nullopt;
    return name;
}

QString temporaryFileName(Date now)
{
    const auto seconds = static_cast<qint64>(std::floor(now.time_since_epoch().count()));
    return temporaryPrefix + QString::number(seconds) + QLatin1Char('-')
        + QString::number(QRandomGenerator::global()->generate64(), 16);
}

std::optional<Date> temporaryFileCreation(QStringView name)
{
    if (!name.startsWith(temporaryPrefix))
        return std::nullopt;
    const QStringView rest = name.sliced(temporaryPrefix.size());
    const qsizetype dash = rest.indexOf(QLatin1Char('-'), 1);
    bool isNumber = false;
    const qint64 seconds = rest.first(dash < 0 ? 0 : dash).toLongLong(&isNumber);
    if (!isNumber)
        return std::nullopt;
    return Date(TimeInterval(static_cast<double>(seconds)));
}

} // namespace Lumen
