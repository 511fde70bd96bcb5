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
    // Three connections in all, two per host; one host at a time may keep its connections.
    SessionHostQueue queue(2, 3);
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    const auto admit = [&](const char* host) { return queue.admit(tasks.emplace_back(makeTask()), QString::fromLatin1(host)); };
    EXPECT_EQ(admit("a").size() + admit("b").size() + admit("b").size(), 3u);
    // c needs a connection of its own, and none is left.
    EXPECT_TRUE(admit("c").empty());
    // A transfer of b that ends normally leaves its connection open and idle, which a later task
    // of b may not take ahead of c's.
    EXPECT_TRUE(queue.release(QStringLiteral("b"), false, 0).empty());
    EXPECT_TRUE(admit("b").empty());
    // Cutting a's transfer off closes its connection: c's task goes, then b's on b's idle one.
    EXPECT_TRUE(queue.wouldStartAfterCutOff(QStringLiteral("a")));
    const auto started = queue.release(QStringLiteral("a"), true, 0);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].host + started[1].host, QStringLiteral("cb"));
    // b's connections close once none of its transfers runs, and count until a little after.
    queue.release(QStringLiteral("b"), false, 0);
    queue.release(QStringLiteral("b"), false, 0);
    EXPECT_EQ(std::pair(queue.sockets(), queue.closingSockets()), std::pair(1, 3));
    queue.reclaim(SessionHostQueue::closingMilliseconds);
    EXPECT_EQ(queue.closingSockets(), 0);
    // A host that opens its first connection while no other task waits keeps it idle a while,
    // for its next task; c opened its own while b's waited.
    EXPECT_FALSE(queue.keepsConnections(QStringLiteral("c")));
    EXPECT_EQ(admit("d").size(), 1u);
    queue.release(QStringLiteral("d"), false, 100);
    EXPECT_EQ(admit("d").size(), 1u);
    queue.release(QStringLiteral("d"), false, 200);
    EXPECT_EQ(queue.sockets(), 2);
    queue.reclaim(200 + SessionHostQueue::keepSeconds * 1000 + SessionHostQueue::closingMilliseconds);
    EXPECT_EQ(queue.sockets(), 1);

    // A cap no session reaches holds nothing back.
    SessionHostQueue unbounded(6, std::numeric_limits<int>::max());
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(unbounded.admit(tasks.emplace_back(makeTask()), QString::number(i % 2)).size(), 1u);
}

// At every step each task that starts is the first by priority, then arrival, among the hosts
// with a slot free; none waits while a slot and a socket are free; in the end none waits. A step
// takes a millisecond.
TEST_F(SessionHostQueueTest, AtScaleEachStartIsTheFirstThatMayGoAndEveryTaskStarts)
{
    constexpr int perHost = 3;
    constexpr int connections = 16;
    SessionHostQueue queue(perHost, connections);
    struct Waiting {
        QString host;
        std::pair<float, int> order; // less goes first: the priority negated, then the arrival
    };
    std::map<URLSessionDataTask*, Waiting> waiting;
    std::map<QString, int> running;
    std::vector<QString> onWire;
    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    std::mt19937 random(36);
    qint64 now = 0;
    const auto firstThatMayGo = [&] {
        const Waiting* first = nullptr;
        for (const auto& [task, candidate] : waiting) {
            if (running[candidate.host] < perHost && (!first || candidate.order < first->order))
                first = &candidate;
        }
        return first;
    };
    const auto check = [&](const std::vector<SessionHostQueue::Admitted>& admitted) {
        for (const auto& next : admitted) {
            const auto started = waiting.find(next.task.get());
            ASSERT_NE(started, waiting.end());
            EXPECT_EQ(&started->second, firstThatMayGo());
            ++running[started->second.host];
            onWire.push_back(started->second.host);
            waiting.erase(started);
        }
        const int open = queue.sockets();
        const int closing = queue.closingSockets();
        EXPECT_LE(open + closing, connections + perHost);
        EXPECT_FALSE(firstThatMayGo() && open < connections && open + closing < connections + perHost);
        ++now;
    };
    const auto releaseOne = [&] {
        std::swap(onWire[random() % onWire.size()], onWire.back());
        const QString host = onWire.back();
        onWire.pop_back();
        --running[host];
        check(queue.release(host, random() % 4 == 0, now));
    };
    const auto anyWaiting = [&] { return std::next(waiting.begin(), std::ptrdiff_t(random() % waiting.size())); };

    for (int arrival = 0; arrival < 2000; ++arrival) {
        const auto& task = tasks.emplace_back(makeTask());
        task->setPriority(float(random() % 3) / 2);
        const QString host = QString::number(random() % 40);
        waiting[task.get()] = {host, {-task->priority(), arrival}};
        check(queue.admit(task, host));
        if (random() % 3 == 0 && !onWire.empty())
            releaseOne();
        if (random() % 5 == 0)
            check(queue.reclaim(now));
        if (random() % 50 == 0 && !waiting.empty()) {
            const auto raised = anyWaiting();
            raised->first->setPriority(1);
            raised->second.order.first = -1;
            check(queue.reprioritize(*raised->first));
        }
        if (random() % 50 == 0 && !waiting.empty()) {
            URLSessionDataTask* const gone = anyWaiting()->first;
            waiting.erase(gone);
            check(queue.remove(*gone));
        }
    }
    while (!onWire.empty() || queue.nextReclaim()) {
        if (onWire.empty())
            check(queue.reclaim(*queue.nextReclaim()));
        else
            releaseOne();
    }
    EXPECT_TRUE(waiting.empty());
    EXPECT_EQ(queue.sockets() + queue.closingSockets(), 0);
}

} // namespace
} // namespace Lumen::Testing
