#include "Lumen/cache/DiskFileName.h"

#include "Lumen/foundation/Digest.h"
#include "Lumen/foundation/KeyHelpers.h"

namespace Lumen {

namespace {

bool staysInDirectory(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
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
                if (own && staysInDirectory(withExtension(base, *own)))
                    name = withExtension(base, *own);
            }
        }
    }
    if (!staysInDirectory(name))
        return std::nullopt;
    return name;
}

} // namespace Lumen
