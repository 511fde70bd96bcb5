#include "TivrandApp/services/KeychainReads.h"

#include <QCoreApplication>

namespace Tivrand {

KeychainReads& KeychainReads::shared()
{
    static KeychainReads* const instance = new KeychainReads();
    return *instance;
}

bool KeychainReads::start(Read read)
{
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return false;
        if (!m_quitHooked && QCoreApplication::instance()) {
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [this] { stop(quitPatience); });
            m_quitHooked = true;
        }
        // Made under the lock, so the read's end cannot be told before its thread is listed.
        std::thread thread([this, read = std::move(read), stop = m_stopSource.get_token()] {
            read(stop);
            finished(std::this_thread::get_id());
        });
        const std::thread::id id = thread.get_id();
        m_threads.emplace(id, std::move(thread));
        ended = takeEnded();
    }
    for (std::thread& thread : ended)
        thread.join();
    return true;
}

void KeychainReads::stop(std::chrono::milliseconds patience)
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    // The reads' stop callbacks run here, outside the lock.
    m_stopSource.request_stop();

    std::vector<std::thread> ended;
    std::vector<std::thread> abandoned;
    {
        std::unique_lock lock(m_mutex);
        m_ended.wait_for(lock, patience, [this] { return m_endedIds.size() == m_threads.size(); });
        ended = takeEnded();
        for (auto& [id, thread] : m_threads)
            abandoned.push_back(std::move(thread));
        m_threads.clear();
    }
    for (std::thread& thread : ended)
        thread.join();
    for (std::thread& thread : abandoned)
        thread.detach();
}

std::size_t KeychainReads::running() const
{
    std::lock_guard lock(m_mutex);
    return m_threads.size() - m_endedIds.size();
}

void KeychainReads::finished(std::thread::id thread)
{
    std::lock_guard lock(m_mutex);
    // An abandoned read is no longer listed.
    if (!m_threads.contains(thread))
        return;
    m_endedIds.push_back(thread);
    m_ended.notify_all();
}

std::vector<std::thread> KeychainReads::takeEnded()
{
    std::vector<std::thread> ended;
    for (const std::thread::id id : m_endedIds)
        ended.push_back(std::move(m_threads.extract(id).mapped()));
    m_endedIds.clear();
    return ended;
}

} // namespace Tivrand
