// Qt and the test server's HTTP library are not built with ThreadSanitizer: what they do
// themselves, through the calls the sanitizer intercepts (allocation, copies, file
// descriptors, the frees that follow a shared buffer's last reference), and the hand-overs
// inside Qt's futures and continuations happen under Qt's own locks, which the sanitizer
// cannot see. Qt Gui also splits some image work of a window's painting over threads of its
// own. OpenSSL frees a certificate where its last holder lets it go, which after Qt has closed
// the connection can be our thread's copy of a chain Qt's network thread read. Only those frames
// are left out; any report that names our code is a fault to fix.
// Where our code hands data over through Qt's event queue it shows the sanitizer the order
// with an atomic of its own.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Network.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libqopensslbackend.so\n"
           "called_from_lib:libcrypto.so.3\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libcpp-httplib.so\n"
           "race:QFutureInterface\n"
           "race:QtPrivate::Continuation\n";
}
