#include "engine/step/step_kernels.h"

#include <array>
#include <atomic>
#include <cstring>

#include "engine/step/cpu_features.h"
#include "engine/step/step_bitsliced.h"
#include "engine/step/step_generation.h"
#include "engine/step/step_rule_sets.h"

namespace {

// The sets of the table last seen, so deriving them costs one 512-byte
// comparison per step. One cache for the process, taken with a try-only
// flag: a step on a second thread that finds it taken derives the sets
// itself instead of waiting, so no thread ever blocks or allocates here.
struct RuleSetsCache {
  std::uint8_t table[512];
  RuleSets sets;
  bool outerTotalistic = false;
  bool valid = false;
};

RuleSetsCache cache;
std::atomic_flag cacheTaken;  // clear

// Whether rule is outer-totalistic; fills sets when it is.
bool LookUpRuleSets(const std::uint8_t* rule, RuleSets& sets) {
  if (cacheTaken.test_and_set(std::memory_order_acquire)) return DeriveRuleSets(rule, sets);
  if (!cache.valid || std::memcmp(cache.table, rule, sizeof cache.table) != 0) {
    std::memcpy(cache.table, rule, sizeof cache.table);
    cache.outerTotalistic = DeriveRuleSets(rule, cache.sets);
    cache.valid = true;
  }
  sets = cache.sets;
  const bool outerTotalistic = cache.outerTotalistic;
  cacheTaken.clear(std::memory_order_release);
  return outerTotalistic;
}

using BitslicedKernel = std::uint64_t (*)(const std::uint8_t*, std::uint8_t*, std::int32_t,
                                          std::int32_t, const RuleSets&);

template <BitslicedKernel kernel>
std::int32_t StepWith(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
                      std::int32_t height, const std::uint8_t* rule) {
  if (width == 0 || height == 0) return 0;
  RuleSets sets;
  if (!LookUpRuleSets(rule, sets))
    return StepGenerationTable(source, destination, width, height, rule);
  return static_cast<std::int32_t>(kernel(source, destination, width, height, sets));
}

struct KernelList {
  std::array<StepKernel, 5> kernels{};
  std::size_t count = 0;
};

KernelList FindAvailableKernels() {
  KernelList list;
  list.kernels[list.count++] = StepKernel::Table;
  list.kernels[list.count++] = StepKernel::Portable;
  [[maybe_unused]] const CpuFeatures cpu = DetectCpuFeatures();
#if defined(CELLARIUM_HAS_SSE2_KERNEL)
  if (cpu.sse2) list.kernels[list.count++] = StepKernel::Sse2;
#endif
#if defined(CELLARIUM_HAS_AVX_KERNELS)
  if (cpu.avx2) list.kernels[list.count++] = StepKernel::Avx2;
  if (cpu.avx512) list.kernels[list.count++] = StepKernel::Avx512;
#endif
  return list;
}

const KernelList& Available() {
  static const KernelList list = FindAvailableKernels();
  return list;
}

}  // namespace

std::span<const StepKernel> AvailableStepKernels() {
  const KernelList& list = Available();
  return {list.kernels.data(), list.count};
}

StepFunction StepKernelFunction(StepKernel kernel) {
  bool available = false;
  for (StepKernel k : AvailableStepKernels()) available = available || k == kernel;
  if (!available) return nullptr;
  switch (kernel) {
    case StepKernel::Table:
      return &StepGenerationTable;
    case StepKernel::Portable:
      return &StepWith<&StepBitslicedPortable>;
#if defined(CELLARIUM_HAS_SSE2_KERNEL)
    case StepKernel::Sse2:
      return &StepWith<&StepBitslicedSse2>;
#endif
#if defined(CELLARIUM_HAS_AVX_KERNELS)
    case StepKernel::Avx2:
      return &StepWith<&StepBitslicedAvx2>;
    case StepKernel::Avx512:
      return &StepWith<&StepBitslicedAvx512>;
#endif
    default:
      return nullptr;
  }
}

const char* StepKernelName(StepKernel kernel) {
  switch (kernel) {
    case StepKernel::Table:
      return "table";
    case StepKernel::Portable:
      return "portable";
    case StepKernel::Sse2:
      return "sse2";
    case StepKernel::Avx2:
      return "avx2";
    case StepKernel::Avx512:
      return "avx512";
  }
  return "?";
}
