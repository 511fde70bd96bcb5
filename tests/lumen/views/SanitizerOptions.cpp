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
