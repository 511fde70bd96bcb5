#pragma once

#include <QString>

#include <array>
#include <optional>

namespace Tivrand {

// A store platform. The raw value is what the catalog is asked for and what stored records carry.
enum class Platform { iPhone, iPad, Mac, Vision };

inline constexpr std::array<Platform, 4> allPlatforms{Platform::iPhone, Platform::iPad, Platform::Mac,
                                                      Platform::Vision};

QString rawValue(Platform platform);
std::optional<Platform> platformFromRawValue(const QString& rawValue);

// The name shown to the user, e.g. "iPhone".
QString displayName(Platform platform);

} // namespace Tivrand
