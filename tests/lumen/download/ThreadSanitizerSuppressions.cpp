// Qt is not built with ThreadSanitizer: its mutexes, wait conditions, event queues and future
// continuations hand data between threads in ways the sanitizer cannot see, so hand-overs
// inside Qt (the network manager's own threads, posted events, continuations) show as races.
// Qt's own allocations and copies are therefore not watched, nor the network module, its TLS
// plugin (which frees shared error lists released last on another thread) and the GLib event
// loop under it, the futures' shared state, the blocks the main queue carries in
// posted events (and runs), the wake-up event that the session thread's queue posts (it
// carries no data: the work itself is handed over under a standard mutex), nor the test
// server's library, which is not instrumented either. The library's own state is guarded by
// standard mutexes, which the sanitizer sees.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Network.so.6\n"
           "called_from_lib:libqopensslbackend.so\n"
           "race:libQt6Network.so.6\n"
           "race:libglib-2.0.so.0\n"
           "race:QFutureInterface\n"
           "race:MainDispatchQueue.cpp\n"
           "race:libcpp-httplib.so\n"
           "race:Lumen::EventLoopThread::enqueue\n";
}
