#include "Lumen/download/ThreadJoiner.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace Lumen::ThreadJoiner {

namespace {

// Long enough for a session to cancel its transfers and delete its network manager under a
// sanitizer; a thread blocked longer (a challenge left unanswered) is not waited for.
constexpr auto endingLimit = std::chrono::seconds(10);

struct Started {
    std::thread thread;
    std::function<void()> askToEnd;
    bool ended = false;
};

class Joiner {
public:
    void start(std::function<void()> body, std::function<void()> askToEnd)
    {
        joinAll(takeEnded());
        std::lock_guard lock(m_mutex);
        const std::uint64_t identifier = m_nextIdentifier++;
        // Registered for each application that sees threads start; one made after the
        // application ended ends with the process.
        if (!m_endsWithApplication && QCoreApplication::instance()) {
            qAddPostRoutine([] { joiner().endAll(); });
            m_endsWithApplication = true;
        }
        auto& started = m_started[identifier];
        started.askToEnd = std::move(askToEnd);
        started.thread = std::thread([this, identifier, body = std::move(body)] {
            body();
            std::lock_guard lock(m_mutex);
            // A thread left behind at the application's end is no longer listed.
            if (const auto found = m_started.find(identifier); found != m_started.end())
                found->second.ended = true;
            m_ended.notify_all();
        });
    }

    static Joiner& joiner()
    {
        // Never destroyed: threads may still end while the process exits.
        static auto* const instance = new Joiner;
        return *instance;
    }

private:
    void endAll()
    {
        std::vector<std::function<void()>> asks;
        {
            std::lock_guard lock(m_mutex);
            m_endsWithApplication = false;
            for (const auto& [identifier, started] : m_started) {
                if (!started.ended)
                    asks.push_back(started.askToEnd);
            }
        }
        for (const auto& askToEnd : asks)
            askToEnd();

        std::vector<std::thread> stuck;
        {
            std::unique_lock lock(m_mutex);
            m_ended.wait_for(lock, endingLimit, [this] {
                return std::ranges::all_of(m_started, [](const auto& entry) { return entry.second.ended; });
            });
            for (auto entry = m_started.begin(); entry != m_started.end();) {
                if (entry->second.ended) {
                    ++entry;
                    continue;
                }
                stuck.push_back(std::move(entry->second.thread));
                entry = m_started.erase(entry);
            }
        }
        for (auto& thread : stuck)
            thread.detach();
        joinAll(takeEnded());
    }

    std::vector<std::thread> takeEnded()
    {
        std::vector<std::thread> ended;
        std::lock_guard lock(m_mutex);
        for (auto entry = m_started.begin(); entry != m_started.end();) {
            if (!entry->second.ended) {
                ++entry;
                continue;
            }
            ended.push_back(std::move(entry->second.thread));
            entry = m_started.erase(entry);
        }
        return ended;
    }

    static void joinAll(std::vector<std::thread> threads)
    {
        for (auto& thread : threads)
            thread.join();
    }

    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::map<std::uint64_t, Started> m_started;
    std::uint64_t m_nextIdentifier = 1;
    bool m_endsWithApplication = false;
};

} // namespace

void start(std::function<void()> body, std::function<void()> askToEnd)
{
    Joiner::joiner().start(std::move(body), std::move(askToEnd));
}

} // namespace Lumen::ThreadJoiner
