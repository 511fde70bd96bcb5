// Serial-queue throughput and main-queue hops, each beside the plain mechanism it is built
// on or competes with.
#include "bench/BenchMain.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr int blocksPerBatch = 10000;

// Written by the worker only; kept off the producer's cache lines so that both contenders
// measure their queue rather than false sharing.
struct alignas(64) Counter {
    long value = 0;
};

// Released by the last block of a batch, so both contenders finish the same way.
class Completion {
public:
    void signal()
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_changed.notify_one();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_done; });
        m_done = false;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
};

// The baseline: one dedicated thread draining a mutex-guarded deque.
class SingleWorker {
public:
    SingleWorker() : m_thread([this] { run(); }) {}
    ~SingleWorker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void post(Lumen::DispatchBlock block)
    {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(block));
        }
        m_wake.notify_one();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (true) {
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            auto job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Lumen::DispatchBlock> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

void SerialQueueThroughput(benchmark::State& state)
{
    auto queue = Lumen::DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.bench"));
    Completion completion;
    Counter counter;
    for (auto _ : state) {
        for (int i = 0; i < blocksPerBatch - 1; ++i)
            queue->async([&counter] { ++counter.value; });
        queue->async([&] { ++counter.value; completion.signal(); });
        completion.wait();
    }
    benchmark::DoNotOptimize(counter.value);
    state.SetItemsProcessed(state.iterations() * blocksPerBatch);
}
BENCHMARK(SerialQueueThroughput)->UseRealTime()->MeasureProcessCPUTime();

void BaselineMutexWorkerThroughput(benchmark::State& state)
{
    SingleWorker worker;
    Completion completion;
    Counter counter;
    for (auto _ : state) {
        for (int i = 0; i < blocksPerBatch - 1; ++i)
            worker.post([&counter] { ++counter.value; });
        worker.post([&] { ++counter.value; completion.signal(); });
        completion.wait();
    }
    benchmark::DoNotOptimize(counter.value);
    state.SetItemsProcessed(state.iterations() * blocksPerBatch);
}
BENCHMARK(BaselineMutexWorkerThroughput)->UseRealTime()->MeasureProcessCPUTime();

// One post to the main thread's event loop and the loop turn that runs it.
void MainQueueHop(benchmark::State& state)
{
    auto queue = Lumen::DispatchQueue::main();
    bool ran = false;
    for (auto _ : state) {
        ran = false;
        queue->async([&ran] { ran = true; });
        while (!ran)
            QCoreApplication::processEvents();
    }
}
BENCHMARK(MainQueueHop);

void BaselineInvokeMethodHop(benchmark::State& state)
{
    bool ran = false;
    for (auto _ : state) {
        ran = false;
        QMetaObject::invokeMethod(qApp, [&ran] { ran = true; }, Qt::QueuedConnection);
        while (!ran)
            QCoreApplication::processEvents();
    }
}
BENCHMARK(BaselineInvokeMethodHop);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
