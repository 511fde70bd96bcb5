// Qt is not built with ThreadSanitizer: its mutexes, wait conditions, event queues and future
// state hand data between threads in ways the sanitizer cannot see, so hand-overs inside Qt
// (the network manager's own threads, posted events, futures) show as races: among them the
// blocks the main queue carries in posted events, made on one thread and run and released on
// the GUI thread. The test server's library hands requests to its worker threads the same
// unseen way. The library's own state is guarded by standard mutexes, which the sanitizer
// sees.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Network.so.6\n"
           "race:libQt6Network.so.6\n"
           "race:libglib-2.0.so.0\n"
           "race:QFutureInterface\n"
           "race:foundation/MainDispatchQueue.cpp\n"
           "race:libcpp-httplib.so\n"
           "race:Lumen::EventLoopThread::enqueue\n";
}
