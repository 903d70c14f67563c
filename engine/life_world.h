#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "engine/stall_detector.h"
#include "random/combined_lcg.h"

// The world state the saver window owns while it runs. The two world buffers
// and the optional display buffer are pixel memories of bitmaps the window
// allocates; these pointers only point into them and own nothing.
//
// Ownership passes by time: the message thread uses everything here before
// the simulation thread starts and after the stop handshake; in between only
// the simulation thread does. stopFlag is the one word both write while both
// run; pauseFlag only the owning thread writes, and the simulation thread
// reads.
struct LifeWorld {
  // 0 running, -1 stop requested, 1 stopped or never started. Starts at 1 so
  // a window closed before its thread ever ran does not wait.
  std::atomic<std::int32_t> stopFlag{1};
  // Nonzero while no one can see the world: the thread steps and draws
  // nothing, and waits.
  std::atomic<std::int32_t> pauseFlag{0};
  std::int32_t mutationCountdown = 0;  // counted generations to the next flip
  StallDetector stallDetector;         // fed only while RenewWhenStalled is set
  std::int32_t worldCols = 0;          // multiple of 32
  std::int32_t worldRows = 0;          // even
  std::int32_t displayWidth = 0;       // screen width rounded up
  std::int32_t displayHeight = 0;      // screen height rounded up
  std::uint8_t* worldBitsA = nullptr;  // pixel memory of the first world bitmap
  std::uint8_t* worldBitsB = nullptr;  // pixel memory of the second
  std::uint8_t* currentBits = nullptr; // generation last completed
  std::uint8_t* nextBits = nullptr;    // the step's destination: the generation before
  std::uint8_t* displayBits = nullptr; // screen-sized bitmap, or null when not needed
  // With trails only (null otherwise): each cell's shade, and the
  // screen-sized image the shades are composed into (engine/trail_shades.h):
  // 8-bit shades, or 32-bit pixels from the table shadePixels when that is
  // not null.
  std::uint8_t* trailShades = nullptr;
  std::uint8_t* shadeDisplayBits = nullptr;
  const std::uint32_t* shadePixels = nullptr;
  std::int32_t bitsSwapped = 0;        // 1 while currentBits is worldBitsB
  CombinedLCG generator;
  std::int64_t generationCount = 0;    // generations since the run began: 64 bits,
                                       // as a small world passes 2^31 within a day
  std::FILE* randBitsFile = nullptr;   // the random-bit log, when asked for
};
