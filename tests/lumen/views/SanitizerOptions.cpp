// Leaks that belong to others, for LeakSanitizer. Neither Qt's plugins nor FFmpeg keep frame
// pointers, so only full unwinding finds the names below in an allocation's stack.
//  - Qt 6.4's FFmpeg media plugin leaks a codec options dictionary of a few dozen bytes on
//    every playback.
//  - The shared retrieval manager's default downloader is destroyed with the other statics at
//    exit; its session then asks its own thread to end, which the process does not wait for,
//    so the session and what its thread made are left to the exit.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libffmpegmediaplugin.so\n"
           "leak:Lumen::EventLoopThread::start\n"
           "leak:Lumen::ImageDownloader::defaultDownloader\n"
           "leak:Lumen::SessionTaskTable\n";
}

// Neither Qt nor the test server's HTTP library is built with ThreadSanitizer: the hand-overs
// inside them (the download session's own thread and network manager, posted events, queued
// functors, futures, the server's connection threads) show as races, among them the blocks the
// main queue carries to the GUI thread. Qt Gui also splits some image work of a window's
// painting over threads of its own. The library's own state is guarded by standard mutexes,
// which the sanitizer sees.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Network.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "race:libQt6Network.so.6\n"
           "race:libglib-2.0.so.0\n"
           "race:libcpp-httplib.so\n"
           "race:QFutureInterface\n"
           "race:foundation/MainDispatchQueue.cpp\n"
           "race:QtPrivate::QFunctorSlotObject\n"
           "race:Lumen::EventLoopThread\n";
}
