#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep; a broken one stops the run like a crash, so the fuzzer keeps
// the input that broke it.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)
