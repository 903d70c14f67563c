#pragma once
// The generation-step kernels by name, so tests and the benchmark can run
// each one; StepGeneration itself picks the fastest once (step_generation.h).
#include <cstdint>
#include <span>

#include "engine/step/step_generation.h"

enum class StepKernel : std::uint8_t {
  Table,     // the per-cell table kernel, exact for every table
  Portable,  // bit-sliced, plain C++ on 64-bit words
  Sse2,      // bit-sliced, 128-bit SSE2
  Avx2,      // bit-sliced, 256-bit AVX2 (64-bit builds)
  Avx512,    // bit-sliced, 512-bit AVX-512 F+BW (64-bit builds)
};

// Same contract as StepGeneration.
using StepFunction = std::int32_t (*)(const std::uint8_t* source, std::uint8_t* destination,
                                      std::int32_t width, std::int32_t height,
                                      const std::uint8_t* rule);

// The same for a prepared rule (step_generation.h).
using PreparedStepFunction = std::int32_t (*)(const std::uint8_t* source,
                                              std::uint8_t* destination, std::int32_t width,
                                              std::int32_t height, const PreparedRule& rule);

// The kernels this build has and this CPU can run, slowest first.
std::span<const StepKernel> AvailableStepKernels();

// The kernel's entry point, or nullptr when it is not available. A
// bit-sliced kernel runs only outer-totalistic tables; for any other table
// it hands the step to the table kernel, so every entry point is exact for
// every table. A bit-sliced kernel whose vector is wider than a row hands
// that row width to the next narrower one.
StepFunction StepKernelFunction(StepKernel kernel);
PreparedStepFunction PreparedStepKernelFunction(StepKernel kernel);

// "table", "portable", "sse2", "avx2", "avx512".
const char* StepKernelName(StepKernel kernel);
