// Leaks that belong to others, for LeakSanitizer. The icons load through the image library's
// shared retrieval manager, whose default downloader is destroyed with the other statics at
// exit; its session then asks its own thread to end, which the process does not wait for, so
// the session and what its thread made are left to the exit. Qt's libraries keep no frame
// pointers, so only full unwinding finds the names below in an allocation's stack.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:Lumen::EventLoopThread::start\n"
           "leak:Lumen::ImageDownloader::defaultDownloader\n"
           "leak:Lumen::SessionTaskTable\n";
}
