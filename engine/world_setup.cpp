#include "engine/world_setup.h"

#include <cstring>

#include "engine/frame_layout.h"
#include "engine/life_world.h"
#include "engine/soup.h"

std::uint8_t* WorldBufferVectors::Allocate(WorldBuffer buffer, std::int32_t width,
                                           std::int32_t height) {
  std::vector<std::uint8_t>& bytes = buffers[static_cast<int>(buffer)];
  bytes.assign(static_cast<std::size_t>(width / 8) * static_cast<std::size_t>(height), 0);
  return bytes.data();
}

namespace {

// The soup into soupBits, drawn from the world's generator, and clearedBits
// emptied, so that the first step from the soup counts its changes against
// an empty world rather than whatever the buffer held.
void SowSoup(LifeWorld& world, const LifeSettings& settings, std::uint8_t* soupBits,
             std::uint8_t* clearedBits) {
  FillSoup(soupBits, world.worldCols, world.worldRows, settings.InitSize, world.generator);
  if (clearedBits != nullptr) {
    std::memset(clearedBits, 0,
                static_cast<std::size_t>(world.worldCols / 8) *
                    static_cast<std::size_t>(world.worldRows));
  }
}

}  // namespace

WorldGeometry BuildWorld(LifeWorld& world, std::int32_t width, std::int32_t height,
                         const LifeSettings& settings, WorldBufferAllocator& allocator) {
  const WorldGeometry geometry = ComputeWorldGeometry(width, height, settings);
  std::uint8_t* bitsA = allocator.Allocate(WorldBuffer::kWorldA, geometry.worldCols,
                                           geometry.worldRows);
  std::uint8_t* bitsB = allocator.Allocate(WorldBuffer::kWorldB, geometry.worldCols,
                                           geometry.worldRows);
  std::uint8_t* displayBits =
      NeedsDisplayBuffer(settings)
          ? allocator.Allocate(WorldBuffer::kDisplay, geometry.displayWidth,
                               geometry.displayHeight)
          : nullptr;
  SetUpWorld(world, geometry, settings, bitsA, bitsB, displayBits);
  SowSoup(world, settings, world.currentBits, world.nextBits);
  return geometry;
}

void RenewWorld(LifeWorld& world, const LifeSettings& settings) {
  SowSoup(world, settings, world.nextBits, world.currentBits);
  StartWorldCounts(world, settings);
}
