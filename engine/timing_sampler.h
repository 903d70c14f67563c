#pragma once
#include <cstdint>

#include "engine/life_world.h"

// The simulation thread's source of entropy: the time the last samplePeriod
// generations took. The period is steered so that samples fall about 500 ms
// apart at any generation rate, which keeps the tick counter out of the
// per-generation cost (one decrement). Only a sample taken 300 ms or more
// after the previous one yields a bit: the parity of the elapsed time's low
// 16 bits.

// The period after a sample elapsed milliseconds after the previous one, and
// whether that sample yields a bit.
struct SampleSteering {
  std::uint32_t samplePeriod;
  bool yieldsBit;
};

SampleSteering SteerSamplePeriod(std::uint32_t samplePeriod, std::uint32_t elapsed);

// XOR of bits 0..15 of elapsed: 0 or 1.
std::uint32_t ElapsedParity(std::uint32_t elapsed);

class TimingSampler {
 public:
  static constexpr std::uint32_t kStartPeriod = 10;

  // now: the tick count just before the first generation.
  explicit TimingSampler(std::uint32_t now)
      : lastSampleTick(now), samplePeriod(kStartPeriod), sampleCountdown(kStartPeriod) {}

  // Once per generation. Reads the tick count (TickCount) only when a sample
  // is due; returns the sample's bit (0 or 1), or -1 when this generation
  // yields none. The first sample falls on the 11th call.
  std::int32_t NextGeneration();

  // The next sample measures from now: after a pause, whose length says
  // nothing about the machine's timing.
  void Restart(std::uint32_t now) { lastSampleTick = now; }

  std::uint32_t SamplePeriod() const { return samplePeriod; }
  // Generations a second between the last two samples that were at least
  // 300 ms apart; 0 until there has been one.
  double RecentRate() const { return recentRate; }
  std::uint32_t SampleCountdown() const { return sampleCountdown; }

 private:
  std::uint32_t lastSampleTick;  // tick count of the previous sample
  std::uint32_t samplePeriod;    // generations between samples
  std::uint32_t sampleCountdown; // generations left before the next sample
  double recentRate = 0;
};

// Mixes one timing bit into the world's generator (a one-byte string of bit
// length 1) and, when the random-bit log is open, appends "0" or "1" to it
// and flushes it.
void FeedTimingBit(LifeWorld& world, std::uint32_t bit);
