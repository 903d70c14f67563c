#pragma once

// What the simulation loop needs from whoever shows the frames. All three
// calls come from the simulation thread, and none may allocate.
class FrameRenderer {
 public:
  virtual void BeginDrawing() = 0;  // once, before the first generation
  virtual void RenderFrame() = 0;   // each generation: draws nextBits
  virtual void EndDrawing() = 0;    // once, after the loop

 protected:
  FrameRenderer() = default;
  FrameRenderer(const FrameRenderer&) = default;
  FrameRenderer& operator=(const FrameRenderer&) = default;
  ~FrameRenderer() = default;
};
