// A reader library for tests that loads but lacks the XWI entry.
extern "C" __attribute__((visibility("default"))) int ZbntreadWithoutEntry() { return 0; }
