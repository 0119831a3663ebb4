#include "text/SimdPath.h"

SimdPath fastestSimdPath() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const SimdPath fastest = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") ? SimdPath::Avx2
                                                                                  : SimdPath::Sse2;
    }();
    return fastest;
#elif defined(__SSE2__)
    return SimdPath::Sse2;
#else
    return SimdPath::Scalar;
#endif
}
