#include "TivrandApp/search/PlatformSymbol.h"

namespace Tivrand {

QString platformSymbol(Platform platform)
{
    switch (platform) {
    case Platform::iPhone:
        return QStringLiteral("iphone");
    case Platform::iPad:
        return QStringLiteral("ipad");
    case Platform::Mac:
        return QStringLiteral("laptopcomputer");
    case Platform::Vision:
        return QStringLiteral("visionpro");
    }
    return {};
}

} // namespace Tivrand
