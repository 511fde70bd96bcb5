#pragma once

#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLResponse.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace Lumen {

class Session;

// One transfer of a `Session`: made suspended, started once by `resume`, and completed exactly
// once (its session's delegate hears of it), also when it is cancelled or its session ends.
class URLSessionDataTask : public std::enable_shared_from_this<URLSessionDataTask> {
    friend class Session;
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    enum class State { suspended, running, completed };

    URLSessionDataTask(Passkey, std::shared_ptr<Session> session, std::uint64_t taskIdentifier, URLRequest request);
    URLSessionDataTask(const URLSessionDataTask&) = delete;
    URLSessionDataTask& operator=(const URLSessionDataTask&) = delete;

    // Unique within the process.
    std::uint64_t taskIdentifier() const { return m_taskIdentifier; }
    const URLRequest& originalRequest() const { return m_originalRequest; }
    // The request now sent: the original one, or the one of the last redirect followed.
    URLRequest currentRequest() const;
    void setCurrentRequest(URLRequest request);
    // The response, once its headers have arrived.
    std::optional<URLResponse> response() const;
    void setResponse(URLResponse response);

    // 0 to 1; a higher one goes first while the transfer waits for a connection, and is asked
    // of Qt when it starts.
    float priority() const { return m_priority.load(std::memory_order_relaxed); }
    void setPriority(float priority);

    State state() const;
    // Starts the transfer unless it was started, cancelled or completed before.
    void resume();
    // The transfer completes with a cancellation error, started or not.
    void cancel();
    // True only for the first call: the one that may report the completion.
    bool markCompleted();

private:
    const std::shared_ptr<Session> m_session;
    const std::uint64_t m_taskIdentifier;
    const URLRequest m_originalRequest;
    std::atomic<float> m_priority = 0.5f;

    mutable std::mutex m_mutex;
    URLRequest m_currentRequest;
    std::optional<URLResponse> m_response;
    State m_state = State::suspended;
    bool m_cancelled = false;
};

} // namespace Lumen
