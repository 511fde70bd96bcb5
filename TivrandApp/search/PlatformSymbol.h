#pragma once

#include "TivrandApp/models/Platform.h"

#include <QString>

namespace Tivrand {

// The symbol that stands for a platform in the filters: "iphone", "ipad", "laptopcomputer", "visionpro".
QString platformSymbol(Platform platform);

} // namespace Tivrand
