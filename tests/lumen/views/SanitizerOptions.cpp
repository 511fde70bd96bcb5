// Leaks that belong to others, for LeakSanitizer: Qt 6.4's FFmpeg media plugin leaks a codec
// options dictionary of a few dozen bytes on every playback. The plugin keeps no frame
// pointers, so only full unwinding finds its name in an allocation's stack.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libffmpegmediaplugin.so\n";
}
