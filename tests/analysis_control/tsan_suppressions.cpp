// The real-vessel test reads its frames with OpenCV, which loads GDAL among
// its image readers and hands parts of its image operations to TBB's
// threads. Neither is built with ThreadSanitizer: GDAL takes its own locks
// in an order the checker takes for a possible deadlock, and the checker
// cannot see TBB's own synchronisation. Their insides are not checked;
// everything else is.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() {
  return "deadlock:libgdal.so\n"
         "called_from_lib:libtbb.so\n";
}
