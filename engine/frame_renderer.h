#pragma once
#include <atomic>
#include <cstdint>

// Which bitmap a frame is transferred from: a world buffer, the 1-bit
// display buffer, or the shade image of trails (bottom-up: 8-bit shades in
// rows padded to 4 bytes, or 32-bit pixels, as the front end built it).
enum class TransferSource { kNone, kWorldA, kWorldB, kDisplay, kShadeDisplay };

// One composed frame, handed to the renderer: the bitmap to transfer
// (kNone: nothing), its pixel memory, and where it goes in the drawing
// area's coordinates, y counting down from the top, right and bottom
// exclusive. For the direct layout left and top are the centring offset,
// computed as the bottom-up display buffer's is: with an odd margin the
// world sits one row nearer the top than the bottom. The pixel memory is
// the frame's until the next generation begins; the renderer only reads it.
struct FrameTransfer {
  TransferSource source = TransferSource::kNone;
  const std::uint8_t* bits = nullptr;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  std::int64_t generation = 0;  // of the run, the one this frame shows
  double recentRate = 0;        // generations a second lately; 0 until measured
};

// What a drawing needs before the first frame: the drawing area, whether it
// is cleared to black once (a small unmagnified world leaves margins), the
// live-cell colour (0x00BBGGRR), and the run's stop word, for a renderer
// that must wait before it can draw and should not wait past a stop.
struct DrawingStart {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool fillBackground = false;
  std::uint32_t liveColor = 0;
  const std::atomic<std::int32_t>* stopFlag = nullptr;  // 0 while the run goes on
};

// What the simulation loop needs from whoever shows the frames: a run is
// one BeginDrawing, one RenderFrame per generation and one EndDrawing, all
// on the simulation thread. None may allocate.
class FrameRenderer {
 public:
  virtual void BeginDrawing(const DrawingStart& start) = 0;  // before the first generation
  virtual void RenderFrame(const FrameTransfer& frame) = 0;  // shows one generation
  virtual void EndDrawing() = 0;  // after the last; releases what Begin took

 protected:
  FrameRenderer() = default;
  FrameRenderer(const FrameRenderer&) = default;
  FrameRenderer& operator=(const FrameRenderer&) = default;
  ~FrameRenderer() = default;
};
