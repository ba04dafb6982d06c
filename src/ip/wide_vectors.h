#pragma once
// Registers of four doubles (AVX2), where the processor has them. The code that uses them
// adds each of its four lanes in the same order as its two-double twin does, so that both
// give the same sums to the bit: only the speed differs from one machine to another.

// Whether the wide registers may be used; a test turns them off to try the narrow twin.
inline bool& WideVectorsWanted() {
  static bool wanted = true;
  return wanted;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define VOSTREL_WIDE_VECTORS 1
inline bool HasWideVectors() {
  static const bool wide = __builtin_cpu_supports("avx2");
  return wide && WideVectorsWanted();
}
#else
inline bool HasWideVectors() { return false; }
#endif
