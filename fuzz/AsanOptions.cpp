// AddressSanitizer defaults of the libFuzzer harnesses (not of the corpus
// replay). Each run frees everything it allocated; the default quarantine of
// 256 MiB keeps every freed block out of use until that much has piled up,
// so each run touches fresh pages and pays a page fault per page. 32 MiB
// still holds every block freed within one run (a run allocates well under a
// MiB), so a use after free inside a run is caught as before. Options given
// in ASAN_OPTIONS take precedence.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=32";
}
