#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/life_settings.h"
#include "engine/world_geometry.h"

struct LifeWorld;

// The buffers of a world: two generations and the screen-sized 1-bit
// display buffer that a magnified or tiled world is composed into; with
// trails, the cells' shades and the screen-sized image they are composed
// into (8-bit shades, or 32-bit pixels) instead of the 1-bit one.
enum class WorldBuffer : std::uint8_t { kWorldA, kWorldB, kDisplay, kShades, kShadeDisplay };
inline constexpr int kWorldBufferCount = 5;

// The bytes of a buffer of width x height pixels: width / 8 * height for
// the 1-bit ones (width a multiple of 32), width * height for the shades,
// rows padded to 4 bytes for the 8-bit image (an allocator with
// ShadePixels gives ShadePixelDisplayBytes for it instead).
std::size_t WorldBufferBytes(WorldBuffer buffer, std::int32_t width, std::int32_t height);

// Memory for a world's buffers, as each front end keeps it (bitmaps whose
// pixel memory can be drawn as it lies, or plain memory). Allocate returns
// WorldBufferBytes writable bytes that stay valid while the allocator lives
// (until it is asked for that buffer again), or throws; a throw leaves the
// world unbuilt. An allocator whose ShadePixels gives a table holds the
// shade display as a shade pixel display buffer (engine/trail_shades.h):
// ShadePixelDisplayBytes for kShadeDisplay, composed through that table,
// which must stay valid as long as the buffer.
class WorldBufferAllocator {
 public:
  virtual std::uint8_t* Allocate(WorldBuffer buffer, std::int32_t width, std::int32_t height) = 0;
  // kShadePixelCount pixels, or null (the default) for the 8-bit shade image.
  virtual const std::uint32_t* ShadePixels() const { return nullptr; }

 protected:
  WorldBufferAllocator() = default;
  WorldBufferAllocator(const WorldBufferAllocator&) = default;
  WorldBufferAllocator& operator=(const WorldBufferAllocator&) = default;
  ~WorldBufferAllocator() = default;
};

// Buffers in plain memory; std::bad_alloc when there is none.
class WorldBufferVectors final : public WorldBufferAllocator {
 public:
  std::uint8_t* Allocate(WorldBuffer buffer, std::int32_t width, std::int32_t height) override;

 private:
  std::vector<std::uint8_t> buffers[kWorldBufferCount];
};

// A new world for a drawing area of width x height pixels: the geometry the
// settings give for it, world buffers A then B, the display buffer only when
// NeedsDisplayBuffer (cleared), the two trail buffers only with trails
// (cleared), SetUpWorld, the initial soup in buffer A
// drawn from the world's generator (seed it first), and buffer B cleared, so
// that the first step's change count is measured against an empty world
// rather than whatever the memory held. Returns the geometry.
WorldGeometry BuildWorld(LifeWorld& world, std::int32_t width, std::int32_t height,
                         const LifeSettings& settings, WorldBufferAllocator& allocator);

// A fresh soup in place of a stalled world, for the loop to call between the
// step and the frame: nextBits (the generation the frame shows and the next
// step starts from) gets a new soup as BuildWorld sows it, from the world's
// generator as it stands (not seeded again), currentBits (the next step's
// destination) is cleared, and StartWorldCounts. Once the buffers have
// traded roles the world is as BuildWorld leaves it.
void RenewWorld(LifeWorld& world, const LifeSettings& settings);
