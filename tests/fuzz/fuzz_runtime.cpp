// Run-time defaults of every fuzz target, in force when a target runs on its own too (a
// reproducer, a longer run by hand). Environment settings still win.

#include <cstdlib>

// Freed pictures are never touched again, and a quarantine makes every case's two
// allocations fresh pages, the largest single cost of a case.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=1"; }

// The OpenMP runtime keeps the descriptors of the threads a larger team took until after
// the leak check at exit, which then fails a clean run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libomp.so\n"; }

// Workers that spin between the threaded passes would take the other core from whatever
// else runs on the machine, for a few microseconds saved per pass.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("OMP_WAIT_POLICY", "passive", 0);
    return 0;
}
