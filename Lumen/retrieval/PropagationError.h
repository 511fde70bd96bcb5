#pragma once

#include "Lumen/foundation/LumenError.h"
#include "Lumen/retrieval/Source.h"

#include <QString>

namespace Lumen {

// One source that a retrieval gave up, with the error it failed with.
struct PropagationError {
    Source source;
    LumenError error;

    // "PropagationError(source: <source>, error: <error>)".
    QString description() const;
};

} // namespace Lumen
