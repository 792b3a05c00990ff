// AddressSanitizer defaults of the libFuzzer harnesses (not of the corpus
// replay). Options given in ASAN_OPTIONS take precedence.
//  - quarantine_size_mb: each run frees everything it allocated; the default
//    quarantine of 256 MiB keeps every freed block out of use until that much
//    has piled up, so each run touches fresh pages and pays a page fault per
//    page. 32 MiB still holds every block freed within one run (a run
//    allocates well under a MiB), so a use after free inside a run is caught
//    as before.
//  - malloc_context_size: every allocation records its call stack for the
//    report; 10 frames (default 30) reach from the allocation into the
//    harness, and the stack of the fault itself is reported in full.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=32:malloc_context_size=10";
}
