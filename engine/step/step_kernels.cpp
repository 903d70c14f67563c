#include "engine/step/step_kernels.h"

#include <array>

#include "engine/step/cpu_features.h"
#include "engine/step/step_bitsliced.h"
#include "engine/step/step_generation.h"
#include "engine/step/step_rule_sets.h"

namespace {

using BitslicedKernel = std::uint64_t (*)(const std::uint8_t*, std::uint8_t*, std::int32_t,
                                          std::int32_t, const RuleSets&);

template <BitslicedKernel kernel>
std::int32_t StepPrepared(const std::uint8_t* source, std::uint8_t* destination,
                          std::int32_t width, std::int32_t height, const PreparedRule& rule) {
  if (width == 0 || height == 0) return 0;
  if (!rule.outerTotalistic)
    return StepGenerationTable(source, destination, width, height, rule.table);
  return static_cast<std::int32_t>(kernel(source, destination, width, height, rule.sets));
}

// Derives the sets on every call: for callers that step a table only now
// and then. A run prepares its rule once instead.
template <BitslicedKernel kernel>
std::int32_t StepWith(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
                      std::int32_t height, const std::uint8_t* rule) {
  if (width == 0 || height == 0) return 0;
  return StepPrepared<kernel>(source, destination, width, height, PrepareRule(rule));
}

std::int32_t StepPreparedTable(const std::uint8_t* source, std::uint8_t* destination,
                               std::int32_t width, std::int32_t height, const PreparedRule& rule) {
  return StepGenerationTable(source, destination, width, height, rule.table);
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

namespace {

bool IsAvailable(StepKernel kernel) {
  bool available = false;
  for (StepKernel k : AvailableStepKernels()) available = available || k == kernel;
  return available;
}

}  // namespace

PreparedRule PrepareRule(const std::uint8_t* rule) {
  PreparedRule prepared;
  prepared.table = rule;
  prepared.outerTotalistic = DeriveRuleSets(rule, prepared.sets);
  return prepared;
}

PreparedStepFunction PreparedStepKernelFunction(StepKernel kernel) {
  if (!IsAvailable(kernel)) return nullptr;
  switch (kernel) {
    case StepKernel::Table:
      return &StepPreparedTable;
    case StepKernel::Portable:
      return &StepPrepared<&StepBitslicedPortable>;
#if defined(CELLARIUM_HAS_SSE2_KERNEL)
    case StepKernel::Sse2:
      return &StepPrepared<&StepBitslicedSse2>;
#endif
#if defined(CELLARIUM_HAS_AVX_KERNELS)
    case StepKernel::Avx2:
      return &StepPrepared<&StepBitslicedAvx2>;
    case StepKernel::Avx512:
      return &StepPrepared<&StepBitslicedAvx512>;
#endif
    default:
      return nullptr;
  }
}

StepFunction StepKernelFunction(StepKernel kernel) {
  if (!IsAvailable(kernel)) return nullptr;
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
