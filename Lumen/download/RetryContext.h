#pragma once

#include "Lumen/foundation/LumenError.h"
#include "Lumen/retrieval/Source.h"

#include <any>
#include <memory>
#include <mutex>

namespace Lumen {

// The retry history of one retrieval: its source, the latest failure, how often it was
// retried and what the last decision carried. Safe to use from any thread.
class RetryContext {
public:
    RetryContext(Source source, LumenError error);
    RetryContext(const RetryContext&) = delete;
    RetryContext& operator=(const RetryContext&) = delete;

    const Source& source() const { return m_source; }

    // The failure of the latest attempt: each failure replaces the one before.
    LumenError error() const;
    void setError(LumenError error);

    int retriedCount() const;
    void setRetriedCount(int count);
    std::any userInfo() const;
    void setUserInfo(std::any userInfo);

    // One step, so concurrent increases are all counted; answers the context for chaining.
    RetryContext& increaseRetryCount();

private:
    const Source m_source;
    mutable std::mutex m_mutex;
    LumenError m_error;
    int m_retriedCount = 0;
    std::any m_userInfo;
};

} // namespace Lumen
