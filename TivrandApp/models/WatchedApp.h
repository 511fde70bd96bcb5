#pragma once

#include "TivrandApp/models/Platform.h"

#include <QString>

#include <optional>

namespace Tivrand {

// A watched app as stored: one per app id, platform and country code.
struct WatchedApp {
    QString appId;
    Platform platform = Platform::iPhone;
    QString countryCode;
    QString name;
    QString developerName;
    std::optional<QString> subtitle;
    QString iconUrl;
    QString appStoreUrl;
    double rating = 0;
    int ratingCount = 0;

    friend bool operator==(const WatchedApp&, const WatchedApp&) = default;
};

} // namespace Tivrand
