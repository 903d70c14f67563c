#include "engine/world_geometry.h"

#include <algorithm>
#include <cstring>

#include "engine/life_world.h"

std::int32_t RoundUp(std::int32_t x, std::int32_t m) { return (x + m - 1) & ~(m - 1); }

WorldGeometry ComputeWorldGeometry(std::int32_t screenWidth, std::int32_t screenHeight,
                                   const LifeSettings& settings) {
  const std::int32_t zoom = settings.ZoomFactor;
  const std::int32_t shrink = settings.WorldSize;
  const std::int32_t width = std::clamp(screenWidth, kMinScreenSize, kMaxScreenSize);
  const std::int32_t height = std::clamp(screenHeight, kMinScreenSize, kMaxScreenSize);
  WorldGeometry g;
  g.displayWidth = RoundUp(width, 32 << zoom);
  g.displayHeight = RoundUp(height, 2 << zoom);
  // At least one cell before rounding: a 2-pixel-high display shrunk by 4
  // would otherwise give a world of no rows.
  g.worldCols = RoundUp(std::max(g.displayWidth >> shrink, 1), 32);
  g.worldRows = RoundUp(std::max(g.displayHeight >> shrink, 1), 2);
  return g;
}

std::int32_t WorldBytes(const WorldGeometry& geometry) {
  return geometry.worldCols / 8 * geometry.worldRows;
}

std::int32_t DisplayBytes(const WorldGeometry& geometry) {
  return geometry.displayWidth / 8 * geometry.displayHeight;
}

void SetUpWorld(LifeWorld& world, const WorldGeometry& geometry, const LifeSettings& settings,
                std::uint8_t* bitsA, std::uint8_t* bitsB, std::uint8_t* displayBits) {
  world.worldCols = geometry.worldCols;
  world.worldRows = geometry.worldRows;
  world.displayWidth = geometry.displayWidth;
  world.displayHeight = geometry.displayHeight;
  world.worldBitsA = bitsA;
  world.worldBitsB = bitsB;
  world.currentBits = bitsA;
  world.nextBits = bitsB;
  world.bitsSwapped = 0;
  world.displayBits = displayBits;
  if (displayBits != nullptr) {
    std::memset(displayBits, 0, static_cast<std::size_t>(DisplayBytes(geometry)));
  }
  StartWorldCounts(world, settings);
}

void StartWorldCounts(LifeWorld& world, const LifeSettings& settings) {
  world.mutationCountdown = settings.WorldMutationRate;
  world.stallDetector.Reset();
}
