#include "engine/step_generation.h"

std::int32_t StepGeneration(const std::uint8_t* source, std::uint8_t* destination,
                            std::int32_t width, std::int32_t height,
                            const std::uint8_t* rule) {
  return StepGenerationTable(source, destination, width, height, rule);
}
