#include "engine/step/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>

#include <cstdint>

namespace {

// XCR0: which register states the OS saves and restores. Read with the raw
// opcode's mnemonic so no target attribute is needed for it.
std::uint64_t ReadXcr0() {
  std::uint32_t low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (std::uint64_t{high} << 32) | low;
}

}  // namespace

CpuFeatures DetectCpuFeatures() {
  CpuFeatures features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
  features.sse2 = (edx & bit_SSE2) != 0;
  const bool osSavesVectors = (ecx & bit_OSXSAVE) != 0 && (ecx & bit_AVX) != 0;
  if (!osSavesVectors) return features;
  const std::uint64_t xcr0 = ReadXcr0();
  const bool ymmState = (xcr0 & 0x6) == 0x6;     // XMM and YMM upper halves
  const bool zmmState = (xcr0 & 0xE6) == 0xE6;   // plus opmask, ZMM0-15 upper, ZMM16-31
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return features;
  features.avx2 = ymmState && (ebx & bit_AVX2) != 0;
  features.avx512 = features.avx2 && zmmState && (ebx & bit_AVX512F) != 0 &&
                    (ebx & bit_AVX512BW) != 0;
  return features;
}

#else

CpuFeatures DetectCpuFeatures() { return {}; }

#endif
