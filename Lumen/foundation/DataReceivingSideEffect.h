#pragma once

#include <QByteArray>

#include <functional>
#include <memory>

namespace Lumen {

class SessionDataTask;

// An object that watches the bytes of a transfer arrive. The session hands it every chunk of
// every transfer whose caller's options list it.
class DataReceivingSideEffect {
public:
    using ShouldApply = std::function<bool()>;

    virtual ~DataReceivingSideEffect() = default;

    // While this answers false the side effect ignores what arrives.
    virtual ShouldApply onShouldApply() const = 0;
    virtual void setOnShouldApply(ShouldApply check) = 0;

    // Called on any thread with the task that received `data`, the newest chunk. The task's
    // accumulated bytes and response are read from the task itself.
    virtual void onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& data) = 0;
};

} // namespace Lumen
