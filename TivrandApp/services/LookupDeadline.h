#pragma once

#include "TivrandApp/services/Libsecret.h"

#include <chrono>

namespace Tivrand {

// Cancels a keyring lookup that has waited `timeout` for the Secret Service. Its timer runs on
// the lookup's own main context; time the service spends waiting for the user does not count.
// Used on the lookup's thread only.
class LookupDeadline {
public:
    LookupDeadline(GMainContext* context, GCancellable* cancellable, std::chrono::milliseconds timeout);
    ~LookupDeadline();
    LookupDeadline(const LookupDeadline&) = delete;
    LookupDeadline& operator=(const LookupDeadline&) = delete;

    // The service waits for the user (an unlock prompt is open): no limit meanwhile.
    void pause();
    // The service has to answer again, within a fresh `timeout`.
    void resume();
    // Whether it cancelled the lookup.
    bool expired() const { return m_expired; }

private:
    static gboolean expire(gpointer deadline);

    GMainContext* m_context;
    GCancellable* m_cancellable;
    guint m_timeoutMs;
    GSource* m_timer = nullptr;
    bool m_expired = false;
};

} // namespace Tivrand
