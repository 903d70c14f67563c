#include "engine/world_setup.h"

#include <cstring>

#include "engine/frame_layout.h"
#include "engine/life_world.h"
#include "engine/soup.h"
#include "engine/trail_shades.h"

std::size_t WorldBufferBytes(WorldBuffer buffer, std::int32_t width, std::int32_t height) {
  switch (buffer) {
    case WorldBuffer::kShades:
      return TrailShadeBytes(width, height);
    case WorldBuffer::kShadeDisplay:
      return ShadeDisplayBytes(width, height);
    default:
      return static_cast<std::size_t>(width / 8) * static_cast<std::size_t>(height);
  }
}

std::uint8_t* WorldBufferVectors::Allocate(WorldBuffer buffer, std::int32_t width,
                                           std::int32_t height) {
  std::vector<std::uint8_t>& bytes = buffers[static_cast<int>(buffer)];
  bytes.assign(WorldBufferBytes(buffer, width, height), 0);
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
  std::uint8_t* shades = nullptr;
  std::uint8_t* shadeDisplay = nullptr;
  if (TrailsShown(settings)) {
    shades = allocator.Allocate(WorldBuffer::kShades, geometry.worldCols, geometry.worldRows);
    shadeDisplay = allocator.Allocate(WorldBuffer::kShadeDisplay, geometry.displayWidth,
                                      geometry.displayHeight);
    std::memset(shades, 0, TrailShadeBytes(geometry.worldCols, geometry.worldRows));
    std::memset(shadeDisplay, 0,
                allocator.ShadePixels() != nullptr
                    ? ShadePixelDisplayBytes(geometry.displayWidth, geometry.displayHeight)
                    : ShadeDisplayBytes(geometry.displayWidth, geometry.displayHeight));
  }
  SetUpWorld(world, geometry, settings, bitsA, bitsB, displayBits);
  world.trailShades = shades;
  world.shadeDisplayBits = shadeDisplay;
  world.shadePixels = shades != nullptr ? allocator.ShadePixels() : nullptr;
  SowSoup(world, settings, world.currentBits, world.nextBits);
  return geometry;
}

void RenewWorld(LifeWorld& world, const LifeSettings& settings) {
  SowSoup(world, settings, world.nextBits, world.currentBits);
  StartWorldCounts(world, settings);
}
