#include "Lumen/cache/DiskFileName.h"

#include "Lumen/foundation/Digest.h"
#include "Lumen/foundation/KeyHelpers.h"

#include <QRandomGenerator>

#include <cmath>

namespace Lumen {

namespace {

constexpr QLatin1StringView temporaryPrefix(".lumen-partial-");

// Text that can stand in a name inside the directory: unpaired surrogates have no
// file-system form, so two names holding them could share one file.
bool isNameText(QStringView text)
{
    return !text.contains(QLatin1Char('/')) && !text.contains(QChar(u'\0')) && text.isValidUtf16();
}

// A hidden name would escape the sweeps, which skip hidden files.
bool isUsableFileName(const QString& name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && isNameText(name);
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
    if (!config.usesHashedFileName) {
        QString name = extension ? withExtension(key, *extension) : key;
        if (!isUsableFileName(name))
            return std::nullopt;
        return name;
    }
    // The hexadecimal base is always usable; only an extension can spoil the name.
    const QString base = sha256Hex(key);
    if (extension) {
        if (!isNameText(*extension))
            return std::nullopt;
        return withExtension(base, *extension);
    }
    if (config.autoExtAfterHashedFileName) {
        const std::optional<QString> own = fileExtension(key);
        if (own && isNameText(*own))
            return withExtension(base, *own);
    }
    return base;
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
