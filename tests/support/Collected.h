#pragma once

#include "tests/support/EventLoop.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace Tivrand::Testing {

// What a completion handler was called with, collected from any thread.
template <typename Result>
class Collected {
public:
    std::function<void(Result)> handler()
    {
        return [this](Result result) {
            std::lock_guard lock(m_mutex);
            m_results.push_back(std::move(result));
        };
    }
    bool waitFor(std::size_t count = 1)
    {
        return waitUntil([&] { return size() >= count; }, std::chrono::seconds(10));
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_results.size();
    }
    Result at(std::size_t index) const
    {
        std::lock_guard lock(m_mutex);
        return m_results.at(index);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Result> m_results;
};

} // namespace Tivrand::Testing
