#pragma once

#include <cstdio>
#include <cstdlib>

// A failed invariant must stop the run where libFuzzer (or the replay driver) sees it, with
// the line that failed; assert() would vanish in release builds.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size);
