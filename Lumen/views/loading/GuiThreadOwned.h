#pragma once

#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/MainDispatchQueue.h"

#include <QCoreApplication>

#include <memory>
#include <utility>

namespace Lumen {

// Shares `value` with closures that the retrieval may release on any thread, and destroys it
// on the GUI thread: what a load keeps for the GUI (model indexes, the caller's handlers) must
// not go elsewhere. Once the application is gone (at exit) it goes where it is released.
template<class T>
std::shared_ptr<T> makeGuiThreadOwned(T value)
{
    return std::shared_ptr<T>(new T(std::move(value)), [](T* owned) {
        if (!QCoreApplication::instance() || MainDispatchQueue::isMainThread())
            delete owned;
        else
            CallbackQueue::asyncOnMain([owned = std::unique_ptr<T>(owned)] {});
    });
}

} // namespace Lumen
