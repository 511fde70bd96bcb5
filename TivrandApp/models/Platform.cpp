#include "TivrandApp/models/Platform.h"

namespace Tivrand {

QString rawValue(Platform platform)
{
    switch (platform) {
    case Platform::iPhone:
        return QStringLiteral("iphone");
    case Platform::iPad:
        return QStringLiteral("ipad");
    case Platform::Mac:
        return QStringLiteral("mac");
    case Platform::Vision:
        return QStringLiteral("realityDevice");
    }
    return {};
}

std::optional<Platform> platformFromRawValue(const QString& value)
{
    for (const Platform platform : allPlatforms) {
        if (rawValue(platform) == value)
            return platform;
    }
    return std::nullopt;
}

QString displayName(Platform platform)
{
    switch (platform) {
    case Platform::iPhone:
        return QStringLiteral("iPhone");
    case Platform::iPad:
        return QStringLiteral("iPad");
    case Platform::Mac:
        return QStringLiteral("Mac");
    case Platform::Vision:
        return QStringLiteral("Vision");
    }
    return {};
}

} // namespace Tivrand
