#pragma once

#include <QString>

namespace Tivrand {

// Why the persistent store could not do what was asked, in the words of the store itself.
struct StoreError {
    QString message;
};

} // namespace Tivrand
