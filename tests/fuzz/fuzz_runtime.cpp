// Run-time defaults of every fuzz target, in force when a target runs on its own too (a
// reproducer, a longer run by hand). Environment settings still win.

// Freed pictures are never touched again, and a quarantine makes every case's two
// allocations fresh pages, the largest single cost of a case.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=1"; }
