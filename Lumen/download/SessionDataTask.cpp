#include "Lumen/download/SessionDataTask.h"

#include "Lumen/download/SessionTaskTable.h"
#include "Lumen/download/URLSessionDataTask.h"

#include <algorithm>
#include <utility>

namespace Lumen {

namespace {

constexpr qint64 maximumPreallocation = 16 * 1024 * 1024;

std::optional<QUrl> originalURLOf(const std::shared_ptr<URLSessionDataTask>& task)
{
    if (!task || task->originalRequest().url.isEmpty())
        return std::nullopt;
    return task->originalRequest().url;
}

} // namespace

SessionDataTask::SessionDataTask(std::shared_ptr<URLSessionDataTask> task, std::weak_ptr<SessionTaskTable> table)
    : m_task(std::move(task))
    , m_originalURL(originalURLOf(m_task))
    , m_table(std::move(table))
{
}

QByteArray SessionDataTask::mutableData() const
{
    std::lock_guard lock(m_lock);
    return m_mutableData;
}

qsizetype SessionDataTask::receivedByteCount() const
{
    std::lock_guard lock(m_lock);
    return m_mutableData.size();
}

void SessionDataTask::didReceiveData(const QByteArray& data)
{
    std::lock_guard lock(m_lock);
    // A first chunk that is the whole body is shared as it is: appending to an empty buffer
    // copies nothing. Otherwise the body grows in room for what it announced, so it seldom
    // moves; an announcement alone takes no more than a bounded room.
    const qint64 announced = m_response ? m_response->expectedContentLength : -1;
    if (m_mutableData.isEmpty() && data.size() < announced)
        m_mutableData.reserve(std::min(announced, maximumPreallocation));
    m_mutableData.append(data);
}

std::optional<URLResponse> SessionDataTask::response() const
{
    std::lock_guard lock(m_lock);
    return m_response;
}

void SessionDataTask::setResponse(URLResponse response)
{
    std::lock_guard lock(m_lock);
    m_response = std::move(response);
}

std::vector<SessionDataTask::TaskCallback> SessionDataTask::callbacks() const
{
    std::lock_guard lock(m_lock);
    std::vector<TaskCallback> list;
    list.reserve(m_callbacksStore.size());
    for (const auto& [token, callback] : m_callbacksStore)
        list.push_back(callback);
    return list;
}

bool SessionDataTask::containsCallbacks() const
{
    std::lock_guard lock(m_lock);
    return !m_callbacksStore.empty();
}

std::optional<std::int64_t> SessionDataTask::addCallback(TaskCallback&& callback)
{
    std::lock_guard lock(m_lock);
    if (m_closed)
        return std::nullopt;
    const std::int64_t token = m_currentToken++;
    m_callbacksStore.emplace(token, std::move(callback));
    return token;
}

bool SessionDataTask::isStarted() const
{
    std::lock_guard lock(m_lock);
    return m_started;
}

bool SessionDataTask::isClosed() const
{
    std::lock_guard lock(m_lock);
    return m_closed;
}

void SessionDataTask::resume()
{
    {
        std::lock_guard lock(m_lock);
        if (m_started || m_closed)
            return;
        m_started = true;
    }
    if (m_task)
        m_task->resume();
}

std::optional<SessionDataTask::TaskCallback> SessionDataTask::removeCallback(std::int64_t token)
{
    return withdraw(token, false);
}

void SessionDataTask::removeAllCallbacks()
{
    std::map<std::int64_t, TaskCallback> removed;
    std::lock_guard lock(m_lock);
    // Released after the lock, by the order of destruction.
    removed.swap(m_callbacksStore);
}

void SessionDataTask::cancel(std::int64_t token)
{
    const auto table = m_table.lock();
    auto withdrawn = table ? table->withdraw(*this, token) : withdraw(token, true);
    if (!withdrawn)
        return;
    if (isClosed() && m_task)
        m_task->cancel();
    m_onCallbackCancelled->call(CancelledCallback{token, std::move(*withdrawn)});
}

void SessionDataTask::forceCancel()
{
    std::vector<std::int64_t> tokens;
    {
        std::lock_guard lock(m_lock);
        for (const auto& entry : m_callbacksStore)
            tokens.push_back(entry.first);
    }
    for (const std::int64_t token : tokens)
        cancel(token);
}

std::optional<SessionDataTask::TaskCallback> SessionDataTask::withdraw(std::int64_t token, bool closeIfLast)
{
    std::lock_guard lock(m_lock);
    const auto found = m_callbacksStore.find(token);
    if (found == m_callbacksStore.end())
        return std::nullopt;
    TaskCallback callback = std::move(found->second);
    m_callbacksStore.erase(found);
    if (closeIfLast && m_callbacksStore.empty())
        m_closed = true;
    return callback;
}

std::vector<SessionDataTask::TaskCallback> SessionDataTask::close()
{
    std::lock_guard lock(m_lock);
    m_closed = true;
    std::vector<TaskCallback> list;
    list.reserve(m_callbacksStore.size());
    for (auto& [token, callback] : m_callbacksStore)
        list.push_back(std::move(callback));
    m_callbacksStore.clear();
    return list;
}

} // namespace Lumen
