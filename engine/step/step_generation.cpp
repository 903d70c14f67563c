#include "engine/step/step_generation.h"

#include "engine/step/step_kernels.h"

namespace {

// Chosen once, from what the CPU offers: the last available kernel is the
// fastest. Every kernel gives the table kernel's result bit for bit, for
// every table: one that is not outer-totalistic goes to the table kernel,
// and one whose entry 0 is live (empty space comes alive) is decided cell by
// cell by the bit-sliced kernels, which never skip.
StepKernel FastestKernel() { return AvailableStepKernels().back(); }

}  // namespace

std::int32_t StepGeneration(const std::uint8_t* source, std::uint8_t* destination,
                            std::int32_t width, std::int32_t height,
                            const std::uint8_t* rule) {
  static const StepFunction fastest = StepKernelFunction(FastestKernel());
  return fastest(source, destination, width, height, rule);
}

std::int32_t StepGeneration(const std::uint8_t* source, std::uint8_t* destination,
                            std::int32_t width, std::int32_t height, const PreparedRule& rule) {
  static const PreparedStepFunction fastest = PreparedStepKernelFunction(FastestKernel());
  return fastest(source, destination, width, height, rule);
}
