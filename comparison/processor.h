#pragma once

// What the processor running the program can do. The comparison's byte loops have a way with
// AVX2, built where the compiler can target it (x86-64 with GCC or Clang, PARVANE_AVX2 then 1)
// and taken where the processor has it, asked once; and a portable way everywhere.

#if defined(__x86_64__) && defined(__GNUC__)
#define PARVANE_AVX2 1
#include <immintrin.h>
#else
#define PARVANE_AVX2 0
#endif

namespace parvane {

inline bool processorHasAvx2() {
#if PARVANE_AVX2
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

} // namespace parvane
