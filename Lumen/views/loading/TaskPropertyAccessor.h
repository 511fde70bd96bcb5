#pragma once

#include "Lumen/retrieval/Source.h"

#include <atomic>
#include <memory>
#include <optional>

namespace Lumen {

class DownloadTask;
class RetrievalControl;

// The request state of one image an object shows: the identifier of its current request and
// the caller's control over that request's retrieval. Kept on the object and shared with the request's
// callbacks; the retrieval's threads read the identifier (the identifier checker), everything
// else happens on the GUI thread.
class TaskPropertyAccessor {
public:
    using Identifier = Source::Identifier::Value;

    // Absent while no request is current. Any thread.
    std::optional<Identifier> taskIdentifier() const;
    // Makes the running request stale (absent, or another identifier). GUI thread.
    void setTaskIdentifier(std::optional<Identifier> identifier);
    // Any thread.
    bool isCurrent(Identifier identifier) const;

    // Makes `identifier` current, and answers the control its retrieval runs under. GUI thread.
    std::shared_ptr<RetrievalControl> beginRequest(Identifier identifier);
    // The current request ended: neither its identifier nor its control are kept. GUI thread.
    void endRequest();
    // Cancels the retrieval of the last request begun, unless it ended: no further attempt
    // starts. GUI thread.
    void cancelDownloadTask();
    // The download of the attempt the current request runs; null when it downloads nothing
    // or none is current. GUI thread.
    std::shared_ptr<DownloadTask> imageTask() const;

private:
    // 0 for none: identifiers start at 1.
    std::atomic<Identifier> m_identifier{0};
    std::shared_ptr<RetrievalControl> m_control;
};

// Holds the request state of an image for the object that keeps it: the request's callbacks
// may outlive the object, but its request stops being current when the object goes.
class TaskPropertyHolder {
public:
    TaskPropertyHolder() : m_accessor(std::make_shared<TaskPropertyAccessor>()) {}
    ~TaskPropertyHolder() { m_accessor->setTaskIdentifier(std::nullopt); }
    TaskPropertyHolder(const TaskPropertyHolder&) = delete;
    TaskPropertyHolder& operator=(const TaskPropertyHolder&) = delete;

    const std::shared_ptr<TaskPropertyAccessor>& accessor() const { return m_accessor; }

private:
    const std::shared_ptr<TaskPropertyAccessor> m_accessor;
};

} // namespace Lumen
