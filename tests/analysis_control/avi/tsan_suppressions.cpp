// OpenCV hands parts of its image operations (the shrinking of recorded
// frames among them) to TBB's worker threads. TBB is not built with
// ThreadSanitizer, so the sanitizer cannot see TBB's own synchronisation and
// reports races between TBB's threads inside TBB. Calls made from inside TBB
// are therefore not checked; everything else is.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libtbb.so\n"; }
