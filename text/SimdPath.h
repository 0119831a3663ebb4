#pragma once

// The ways through bytes that the fast text loops offer, slowest first: plain
// C++, SSE2, and AVX2 (with popcnt). Every way gives the same answer; tests
// and fuzzers run each.
enum class SimdPath { Scalar, Sse2, Avx2 };

// The fastest path this machine has, found once; every slower one works too.
SimdPath fastestSimdPath();
