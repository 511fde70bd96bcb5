#include "Lumen/download/SessionHostQueue.h"

#include "Lumen/download/SessionDelegate.h"
#include "Lumen/download/URLSessionDataTask.h"
#include "tests/lumen/download/DownloadTesting.h"

#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <vector>

namespace Lumen::Testing {
namespace {

// Tasks of a session that is never asked to run them.
class SessionHostQueueTest : public ::testing::Test {
protected:
    void TearDown() override { endSession(session); }

    std::shared_ptr<URLSessionDataTask> makeTask() { return session->dataTask(URLRequest(QUrl(QStringLiteral("http://h/")))); }

    std::shared_ptr<Session> session = Session::make(URLSessionConfiguration::ephemeral(), SessionDelegate::make());
};

TEST_F(SessionHostQueueTest, AFreedSlotGoesByPriorityThenArrivalToAHostWithRoomNeverToAFullOne)
{
    std::map<QString, std::shared_ptr<URLSessionDataTask>> tasks;
    std::map<const URLSessionDataTask*, QString> names;
    // One connection per host, two in all: the first two run, the others wait in this order.
    SessionHostQueue queue(1, 2);
    for (const QString name : {"a1", "b1", "a2", "a3", "c1", "c2"}) {
        const auto task = tasks[name] = makeTask();
        task->setPriority(0.5f);
        names[task.get()] = name;
        EXPECT_EQ(queue.admit(task, name.left(1)).size(), tasks.size() <= 2 ? 1u : 0u) << name.toStdString();
    }
    tasks["a3"]->setPriority(0.9f);
    EXPECT_TRUE(queue.reprioritize(*tasks["a3"]).empty());
    const std::pair<const char*, const char*> releases[] = {{"a", "a3"}, {"b", "c1"}, {"a", "a2"}, {"c", "c2"}, {"a", ""}};
    // Each after the connections closed before it count as closed.
    qint64 now = 0;
    for (const auto& [host, expected] : releases) {
        const auto next = queue.release(QString::fromLatin1(host), false, now += SessionHostQueue::closingMilliseconds);
        EXPECT_EQ(next.empty() ? QString() : names[next.front().task.get()], QString::fromLatin1(expected)) << host;
    }
}

TEST_F(SessionHostQueueTest, AHostHoldsItsConnectionsWhileAnyOfItsTransfersRunsAndNobodyPassesTheTaskWaitingForOne)
{
    // Three connections in all; host a opens two, host b one.
    SessionHostQueue queue(2, 3);
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    const auto admit = [&](const char* host) {
        tasks.push_back(makeTask());
        return queue.admit(tasks.back(), QString::fromLatin1(host)).size();
    };
    EXPECT_EQ(admit("a") + admit("b") + admit("b"), 3u);
    // c needs a connection of its own, and none is left.
    EXPECT_EQ(admit("c"), 0u);
    // A transfer of b that ends normally leaves its connection open and idle, which a later task
    // of b may not take ahead of c's.
    EXPECT_TRUE(queue.release(QStringLiteral("b"), false, 0).empty());
    EXPECT_EQ(admit("b"), 0u);
    EXPECT_EQ(queue.sockets(), 3);
    // Cutting a's transfer off closes its connection: c's task goes, then b's on b's idle one.
    EXPECT_TRUE(queue.wouldStartAfterCutOff(QStringLiteral("a")));
    const auto started = queue.release(QStringLiteral("a"), true, 0);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].host, QStringLiteral("c"));
    EXPECT_EQ(started[1].host, QStringLiteral("b"));
    // b's connections close once none of its transfers runs, a little after.
    queue.release(QStringLiteral("b"), false, 0);
    queue.release(QStringLiteral("b"), false, 0);
    EXPECT_EQ(queue.sockets(), 1);
    EXPECT_EQ(queue.closingSockets(), 3);
    EXPECT_EQ(queue.nextReclaim(), SessionHostQueue::closingMilliseconds);
    queue.reclaim(SessionHostQueue::closingMilliseconds);
    EXPECT_EQ(queue.closingSockets(), 0);
}

TEST_F(SessionHostQueueTest, ACapNoSessionReachesHoldsNoTaskBack)
{
    SessionHostQueue queue(6, std::numeric_limits<int>::max());
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    for (int i = 0; i < 12; ++i) {
        tasks.push_back(makeTask());
        EXPECT_EQ(queue.admit(tasks.back(), QString::number(i % 2)).size(), 1u) << i;
    }
}

// At every step the task that starts is the first by priority, then by arrival, among the hosts
// with a slot free; none waits while a slot and a socket are free; and every task starts. A step
// takes a millisecond.
TEST_F(SessionHostQueueTest, AtScaleEachStartIsTheFirstThatMayGoAndEveryTaskStarts)
{
    constexpr int perHost = 3;
    constexpr int connections = 16;
    constexpr int hostCount = 40;
    constexpr int taskCount = 2000;
    SessionHostQueue queue(perHost, connections);
    struct Waiting {
        QString host;
        float priority;
        int arrival;
    };
    std::map<const URLSessionDataTask*, Waiting> waiting;
    std::map<QString, int> running;
    std::vector<QString> onWire;
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    std::mt19937 random(36);
    int started = 0;
    int removed = 0;
    qint64 now = 0;

    const auto firstThatMayGo = [&]() -> const Waiting* {
        const Waiting* first = nullptr;
        for (const auto& [task, candidate] : waiting) {
            if (running[candidate.host] < perHost
                && (!first || std::pair(-candidate.priority, candidate.arrival) < std::pair(-first->priority, first->arrival)))
                first = &candidate;
        }
        return first;
    };
    const auto check = [&](const std::vector<SessionHostQueue::Admitted>& admitted) {
        for (const auto& next : admitted) {
            const Waiting* expected = firstThatMayGo();
            ASSERT_NE(expected, nullptr);
            const auto actual = waiting.find(next.task.get());
            ASSERT_NE(actual, waiting.end());
            EXPECT_EQ(actual->second.arrival, expected->arrival);
            ++running[actual->second.host];
            onWire.push_back(actual->second.host);
            waiting.erase(actual);
            ++started;
        }
        ++now;
        const int open = queue.sockets();
        const int closing = queue.closingSockets();
        EXPECT_LE(open, connections);
        EXPECT_LE(open + closing, connections + perHost);
        EXPECT_FALSE(firstThatMayGo() && open < connections && open + closing < connections + perHost);
    };
    const auto releaseOne = [&] {
        std::swap(onWire[random() % onWire.size()], onWire.back());
        const QString host = onWire.back();
        onWire.pop_back();
        --running[host];
        check(queue.release(host, random() % 4 == 0, now));
    };

    for (int arrival = 0; arrival < taskCount; ++arrival) {
        tasks.push_back(makeTask());
        const auto& task = tasks.back();
        task->setPriority(float(random() % 3) / 2);
        const QString host = QString::number(random() % hostCount);
        waiting[task.get()] = Waiting{host, task->priority(), arrival};
        check(queue.admit(task, host));
        if (random() % 3 == 0 && !onWire.empty())
            releaseOne();
        if (random() % 5 == 0)
            check(queue.reclaim(now));
        if (random() % 50 == 0 && !waiting.empty()) {
            auto changed = std::next(waiting.begin(), std::ptrdiff_t(random() % waiting.size()));
            auto* const changedTask = const_cast<URLSessionDataTask*>(changed->first);
            changedTask->setPriority(1);
            changed->second.priority = 1;
            check(queue.reprioritize(*changedTask));
        }
        if (random() % 50 == 0 && !waiting.empty()) {
            const auto gone = std::next(waiting.begin(), std::ptrdiff_t(random() % waiting.size()));
            const URLSessionDataTask* const goneTask = gone->first;
            waiting.erase(gone);
            ++removed;
            check(queue.remove(*goneTask));
        }
    }
    while (!onWire.empty() || queue.nextReclaim()) {
        if (onWire.empty())
            check(queue.reclaim(*queue.nextReclaim()));
        else
            releaseOne();
    }
    EXPECT_TRUE(waiting.empty());
    EXPECT_EQ(started + removed, taskCount);
    EXPECT_EQ(queue.sockets(), 0);
}

} // namespace
} // namespace Lumen::Testing
