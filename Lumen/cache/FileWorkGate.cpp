#include "Lumen/cache/FileWorkGate.h"

#include <algorithm>
#include <vector>

namespace Lumen {

namespace {

// The gates whose work runs on this thread now, innermost last.
thread_local std::vector<const FileWorkGate*> t_entered;

} // namespace

bool FileWorkGate::enter()
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return false;
    ++m_running;
    t_entered.push_back(this);
    return true;
}

void FileWorkGate::leave()
{
    t_entered.pop_back();
    std::lock_guard lock(m_mutex);
    --m_running;
    m_left.notify_all();
}

bool FileWorkGate::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

void FileWorkGate::close()
{
    // Work of this very thread cannot finish while it waits here.
    const auto own = std::count(t_entered.cbegin(), t_entered.cend(), this);
    std::unique_lock lock(m_mutex);
    m_closed = true;
    m_left.wait(lock, [&] { return m_running == own; });
}

} // namespace Lumen
