#pragma once

#include <QFlags>

namespace Lumen {

// How bytes are written to a file.
enum class DataWritingOption {
    // Write to a temporary file and rename it over the target, so readers never see a
    // partly written file.
    atomic = 0x1,
    // Fail when the file exists already.
    withoutOverwriting = 0x2,
};
Q_DECLARE_FLAGS(DataWritingOptions, DataWritingOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(DataWritingOptions)

} // namespace Lumen
