#pragma once

#include "Lumen/download/URLResponse.h"

#include <QByteArray>

#include <mutex>
#include <optional>

namespace Lumen {

// One running transfer, shared by reference between every caller waiting for the same URL
// and by the errors that name it. Received bytes and the response are read and written
// under the task's lock, from any thread.
class SessionDataTask {
public:
    SessionDataTask() = default;
    SessionDataTask(const SessionDataTask&) = delete;
    SessionDataTask& operator=(const SessionDataTask&) = delete;

    // A copy of every byte received so far. It shares no storage with the task's own bytes,
    // which keep growing in place: a shared buffer would be detached and released inside Qt,
    // where ThreadSanitizer cannot see the ordering with the reader's thread.
    QByteArray mutableData() const;
    qsizetype receivedByteCount() const;
    void didReceiveData(const QByteArray& data);

    // The transfer's response; absent until its headers have arrived.
    std::optional<URLResponse> response() const;
    void setResponse(URLResponse response);

private:
    mutable std::mutex m_lock;
    QByteArray m_mutableData;
    std::optional<URLResponse> m_response;
};

} // namespace Lumen
