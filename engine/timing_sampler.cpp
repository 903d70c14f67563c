#include "engine/timing_sampler.h"

#include <cstdio>

#include "engine/tick_clock.h"

namespace {

constexpr std::uint32_t kTargetMs = 500;    // aim for samples this far apart
constexpr std::uint32_t kMinBitMs = 300;    // closer samples give no bit
constexpr std::uint32_t kMaxSteadyMs = 700; // up to here the period stays

// A period can only grow this far; it saturates rather than wrapping, since
// a wrapped product would throw the period anywhere, 0 (no samples for the
// rest of the run) included.
std::uint32_t Saturate(std::uint64_t period) {
  return period > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(period);
}

// period * 500 / elapsed, rounded down.
std::uint32_t Rescale(std::uint32_t samplePeriod, std::uint32_t elapsed) {
  return Saturate(std::uint64_t{samplePeriod} * kTargetMs / elapsed);
}

}  // namespace

SampleSteering SteerSamplePeriod(std::uint32_t samplePeriod, std::uint32_t elapsed) {
  if (elapsed < kMinBitMs) {
    if (elapsed == 0) return {Saturate(std::uint64_t{samplePeriod} * 2), false};
    return {Rescale(samplePeriod, elapsed), false};
  }
  if (elapsed > kMaxSteadyMs) {
    const std::uint32_t period = Rescale(samplePeriod, elapsed);
    return {period != 0 ? period : 1, true};
  }
  return {samplePeriod, true};
}

std::uint32_t ElapsedParity(std::uint32_t elapsed) {
  std::uint32_t bits = elapsed & 0xFFFFu;
  bits ^= bits >> 8;
  bits ^= bits >> 4;
  bits ^= bits >> 2;
  bits ^= bits >> 1;
  return bits & 1u;
}

std::int32_t TimingSampler::NextGeneration() {
  if (sampleCountdown != 0) {
    --sampleCountdown;
    return -1;
  }
  if (samplePeriod == 0) return -1;
  const std::uint32_t now = TickCount();
  const std::uint32_t elapsed = now - lastSampleTick;  // wraps correctly
  const SampleSteering steering = SteerSamplePeriod(samplePeriod, elapsed);
  // The countdown's samplePeriod generations and this one since the last sample.
  if (elapsed >= kMinBitMs)
    recentRate = (static_cast<double>(samplePeriod) + 1.0) * 1000.0 / static_cast<double>(elapsed);
  samplePeriod = steering.samplePeriod;
  lastSampleTick = now;
  sampleCountdown = samplePeriod;
  return steering.yieldsBit ? static_cast<std::int32_t>(ElapsedParity(elapsed)) : -1;
}

void FeedTimingBit(LifeWorld& world, std::uint32_t bit) {
  const std::uint8_t data[4] = {static_cast<std::uint8_t>(bit & 1u), 0, 0, 0};
  world.generator.AddEntropy(data, 1);
  if (world.randBitsFile != nullptr) {
    std::fputc((bit & 1u) != 0 ? '1' : '0', world.randBitsFile);
    // Handed to the system at once, so that a killed process loses nothing
    // it logged. Bits come 300 ms or more apart: a few calls a second.
    std::fflush(world.randBitsFile);
  }
}
