#pragma once

// What the simulation loop needs from whoever shows the frames: a run is
// one BeginDrawing, one RenderFrame per generation and one EndDrawing, all
// on the simulation thread. None may allocate.
class FrameRenderer {
 public:
  virtual void BeginDrawing() = 0;  // before the first generation
  virtual void RenderFrame() = 0;   // shows the world's nextBits
  virtual void EndDrawing() = 0;    // after the last; releases what Begin took

 protected:
  FrameRenderer() = default;
  FrameRenderer(const FrameRenderer&) = default;
  FrameRenderer& operator=(const FrameRenderer&) = default;
  ~FrameRenderer() = default;
};
