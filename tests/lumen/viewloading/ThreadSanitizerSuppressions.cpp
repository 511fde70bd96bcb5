// Loads here go through the download session's thread and the main queue, whose hand-overs
// travel inside Qt (posted events, queued functors, the network manager's threads), and are
// served by the loopback server's thread pool inside cpp-httplib. Neither library is built
// with ThreadSanitizer, so their hand-overs read as races; the loading's own shared state is an
// atomic and standard mutexes, which the sanitizer sees (the request identifier test in SlotLoadingTests).
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libcpp-httplib.so\n"
           "called_from_lib:libQt6Network.so.6\n"
           "race:libQt6Network.so.6\n"
           "race:libglib-2.0.so.0\n"
           "race:QtPrivate::QFunctorSlotObject\n"
           "race:foundation/MainDispatchQueue.cpp\n"
           "race:download/EventLoopThread.cpp\n"
           "race:download/Session.cpp\n";
}
