#pragma once

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace Tivrand {

// The threads of the Keychain reads that run in the background. None outlives the application:
// when it is about to quit every running read is told to stop and waited for (`quitPatience` at
// most; a read that hangs beyond that is left to end on its own, touching nothing but what it
// holds), and reads asked for from then on are refused. Used from any thread.
class KeychainReads {
public:
    using Read = std::function<void(std::stop_token stop)>;

    static constexpr std::chrono::milliseconds quitPatience{2000};

    // The program's one set; it is never destroyed, so a read left running may still report to it.
    static KeychainReads& shared();

    KeychainReads(const KeychainReads&) = delete;
    KeychainReads& operator=(const KeychainReads&) = delete;

    // Runs `read` on a thread of its own, unless reads were stopped (then answers false and runs
    // nothing). Throws std::system_error when no thread can be made.
    bool start(Read read);
    // Tells every running read to stop, waits up to `patience` for them to end, and refuses new
    // ones from now on.
    void stop(std::chrono::milliseconds patience);
    // Reads whose thread has not ended yet.
    std::size_t running() const;

private:
    KeychainReads() = default;

    void finished(std::thread::id thread);
    // Takes the threads of the reads that have ended out of the list, for joining; with m_mutex held.
    std::vector<std::thread> takeEnded();

    std::stop_source m_stopSource;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_stopped = false;
    bool m_quitHooked = false;
    std::map<std::thread::id, std::thread> m_threads;
    std::vector<std::thread::id> m_endedIds;
};

} // namespace Tivrand
