#pragma once
// The bit-sliced step kernels, one per instruction set. Each decides every
// cell of source into destination by the outer-totalistic rule in sets and
// returns the number of destination cells that changed. Preconditions (the
// caller's, see step_generation.h): width a multiple of 32 and at least 32,
// height at least 2. A kernel whose vector is wider than a row hands the
// step to the next narrower one, so every width is accepted. The SIMD
// kernels exist only on x86 and may only be called when the CPU offers their
// instruction set (cpu_features.h); AVX2 and AVX-512 only in 64-bit builds.
#include <cstdint>

#include "engine/step/step_rule_sets.h"

std::uint64_t StepBitslicedPortable(const std::uint8_t* source, std::uint8_t* destination,
                                    std::int32_t width, std::int32_t height,
                                    const RuleSets& sets);

#if defined(__x86_64__) || defined(__i386__)
#define CELLARIUM_HAS_SSE2_KERNEL 1
std::uint64_t StepBitslicedSse2(const std::uint8_t* source, std::uint8_t* destination,
                                std::int32_t width, std::int32_t height, const RuleSets& sets);
#endif

#if defined(__x86_64__)
#define CELLARIUM_HAS_AVX_KERNELS 1
std::uint64_t StepBitslicedAvx2(const std::uint8_t* source, std::uint8_t* destination,
                                std::int32_t width, std::int32_t height, const RuleSets& sets);
std::uint64_t StepBitslicedAvx512(const std::uint8_t* source, std::uint8_t* destination,
                                  std::int32_t width, std::int32_t height, const RuleSets& sets);
#endif
