// Invariant checks of the fuzz targets: a violation prints what went wrong and aborts, which
// libFuzzer reports as a crash and saves the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                              \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "invariant violated at %s:%d: %s\n", __FILE__, __LINE__, what); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)
