#pragma once

#include <sys/resource.h>

#include <algorithm>

namespace Tivrand::Testing {

// The process may hold no more than `count` descriptors while this lives (within the hard
// limit); 0 changes nothing.
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t count)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        if (count == 0)
            return;
        rlimit lowered = m_saved;
        lowered.rlim_cur = std::min(count, m_saved.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit m_saved{};
};

} // namespace Tivrand::Testing
