#include "Lumen/download/SessionHostQueue.h"

#include "Lumen/download/URLSessionDataTask.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Lumen {

SessionHostQueue::SessionHostQueue(int connectionsPerHost, int connections)
    : m_connectionsPerHost(std::max(1, connectionsPerHost))
    , m_connections(std::max(1, connections))
{
}

SessionHostQueue::Key SessionHostQueue::keyOf(const URLSessionDataTask& task, std::uint64_t arrival)
{
    // A NaN would break the order the queue relies on.
    const float priority = task.priority();
    return Key{std::isnan(priority) ? 0.5f : priority, arrival};
}

std::vector<SessionHostQueue::Admitted> SessionHostQueue::admit(const std::shared_ptr<URLSessionDataTask>& task,
                                                                const QString& host)
{
    Host& entry = m_hosts.try_emplace(host).first->second;
    entry.name = host;
    const Key key = keyOf(*task, m_arrivals++);
    entry.waiting.emplace(key, task);
    m_waiting.emplace(task.get(), std::pair(&entry, key));
    relist(entry);
    return dispatch();
}

std::vector<SessionHostQueue::Admitted> SessionHostQueue::release(const QString& host, bool closed, qint64 now)
{
    const auto found = m_hosts.find(host);
    if (found == m_hosts.end())
        return {};
    Host& entry = found->second;
    --entry.running;
    setSockets(entry, socketsLeft(entry, entry.running, closed), now);
    if (entry.running <= 0 && entry.keeps) {
        if (entry.sockets > 0) {
            // Counted until Qt has surely closed them.
            entry.idleUntil = now + keepSeconds * 1000 + closingMilliseconds;
            m_idle.emplace(*entry.idleUntil, entry.name);
        } else {
            stopKeeping(entry);
        }
    }
    relist(entry);
    auto started = reclaim(now);
    forgetIfIdle(host);
    return started;
}

std::vector<SessionHostQueue::Admitted> SessionHostQueue::reclaim(qint64 now)
{
    while (!m_closing.empty() && m_closing.front().until <= now) {
        m_closingSockets -= m_closing.front().sockets;
        m_closing.pop_front();
    }
    while (!m_idle.empty() && m_idle.begin()->first <= now) {
        const QString name = m_idle.begin()->second;
        m_idle.erase(m_idle.begin());
        Host& host = m_hosts.at(name);
        host.idleUntil.reset();
        m_sockets -= std::exchange(host.sockets, 0);
        stopKeeping(host);
        forgetIfIdle(name);
    }
    return dispatch();
}

std::optional<qint64> SessionHostQueue::nextReclaim() const
{
    std::optional<qint64> next;
    if (!m_closing.empty())
        next = m_closing.front().until;
    if (!m_idle.empty() && (!next || m_idle.begin()->first < *next))
        next = m_idle.begin()->first;
    return next;
}

std::vector<SessionHostQueue::Admitted> SessionHostQueue::remove(const URLSessionDataTask& task)
{
    const auto found = m_waiting.find(&task);
    if (found == m_waiting.end())
        return {};
    const auto [entry, key] = found->second;
    m_waiting.erase(found);
    entry->waiting.erase(key);
    relist(*entry);
    auto started = dispatch();
    forgetIfIdle(entry->name);
    return started;
}

std::vector<SessionHostQueue::Admitted> SessionHostQueue::reprioritize(const URLSessionDataTask& task)
{
    const auto found = m_waiting.find(&task);
    if (found == m_waiting.end())
        return {};
    auto& [entry, key] = found->second;
    auto node = entry->waiting.extract(key);
    key = keyOf(task, key.arrival);
    node.key() = key;
    entry->waiting.insert(std::move(node));
    relist(*entry);
    return dispatch();
}

int SessionHostQueue::socketsLeft(const Host& host, int running, bool closed)
{
    if (running <= 0 && !host.keeps)
        return 0;
    return std::max(running, closed ? host.sockets - 1 : host.sockets);
}

void SessionHostQueue::setSockets(Host& host, int sockets, qint64 now)
{
    if (const int closing = host.sockets - sockets; closing > 0) {
        m_sockets -= closing;
        m_closing.push_back({now + closingMilliseconds, closing});
        m_closingSockets += closing;
    }
    host.sockets = sockets;
}

bool SessionHostQueue::wouldStartAfterCutOff(const QString& host) const
{
    const auto found = m_hosts.find(host);
    if (found == m_hosts.end())
        return false;
    const Host& entry = found->second;
    const int running = entry.running - 1;
    const int sockets = socketsLeft(entry, running, true);
    const int open = m_sockets - entry.sockets + sockets;
    const int closing = m_closingSockets + entry.sockets - sockets;
    // The first waiting task once the host has its slot back.
    const Host* first = m_ready.empty() ? nullptr : m_ready.begin()->second;
    if (!entry.waiting.empty() && (!first || entry.waiting.begin()->first < m_ready.begin()->first))
        first = &entry;
    if (!first)
        return false;
    const bool reusesSocket = first == &entry ? running < sockets : first->running < first->sockets;
    return reusesSocket || mayOpenSocket(open, closing);
}

bool SessionHostQueue::keepsConnections(const QString& host) const
{
    const auto found = m_hosts.find(host);
    return found != m_hosts.end() && found->second.keeps;
}

bool SessionHostQueue::mayOpenSocket(int sockets, int closing) const
{
    // In 64 bits: a session may set no cap worth the name.
    return sockets < m_connections && qint64(sockets) + closing < qint64(m_connections) + m_connectionsPerHost;
}

bool SessionHostQueue::mayKeep() const
{
    // Only while no other task waits, and each keeper may come to hold a host's worth.
    return m_waiting.empty()
        && qint64(m_keepers + 1) * m_connectionsPerHost <= std::max(m_connectionsPerHost, m_connections / 4);
}

void SessionHostQueue::stopKeeping(Host& host)
{
    if (std::exchange(host.keeps, false))
        --m_keepers;
}

void SessionHostQueue::relist(Host& host)
{
    if (host.listed) {
        m_ready.erase({*host.listed, &host});
        host.listed.reset();
    }
    if (!host.waiting.empty() && host.running < m_connectionsPerHost) {
        host.listed = host.waiting.begin()->first;
        m_ready.emplace(*host.listed, &host);
    }
}

std::vector<SessionHostQueue::Admitted> SessionHostQueue::dispatch()
{
    std::vector<Admitted> started;
    while (!m_ready.empty()) {
        Host& host = *m_ready.begin()->second;
        const bool reusesSocket = host.running < host.sockets;
        if (!reusesSocket && !mayOpenSocket(m_sockets, m_closingSockets))
            break;
        const auto next = host.waiting.begin();
        m_waiting.erase(next->second.get());
        if (host.idleUntil) {
            m_idle.erase({*std::exchange(host.idleUntil, std::nullopt), host.name});
        } else if (host.sockets == 0 && mayKeep()) {
            host.keeps = true;
            ++m_keepers;
        }
        started.push_back({std::move(next->second), host.name});
        host.waiting.erase(next);
        ++host.running;
        if (!reusesSocket) {
            ++host.sockets;
            ++m_sockets;
        }
        relist(host);
    }
    return started;
}

void SessionHostQueue::forgetIfIdle(QString host)
{
    const auto found = m_hosts.find(host);
    if (found != m_hosts.end() && found->second.running <= 0 && found->second.waiting.empty()
        && !found->second.idleUntil)
        m_hosts.erase(found);
}

} // namespace Lumen
