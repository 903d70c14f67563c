// libFuzzer target: every step kernel this CPU can run against the table
// kernel, on worlds, old destinations and rule tables taken from the input.
// Any difference in a byte of the result or in the change count aborts.
//
// Input layout (missing bytes read as 0, the world bytes repeat the input):
//   0-1  width in 32-cell groups (1..128, so 32..4096 cells)
//   2    height (2..41)
//   3    table kind: 0 Life, 1 birth/survival sets, 2 sets with one entry
//        flipped (rarely outer-totalistic), 3 a raw table from the input
//   4-7  birth and survival sets (9 bits each), or the flipped entry
//   8    generations stepped in ping-pong (1..3)
//   9-   bytes of the source world, then of the old destination
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/life_settings.h"
#include "engine/step/step_generation.h"
#include "engine/step/step_kernels.h"

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t At(std::size_t i) const { return i < size ? data[i] : 0; }
  // Cycles through the bytes after the header, for worlds larger than the input.
  std::uint8_t World(std::size_t i) const {
    constexpr std::size_t kHeader = 9;
    if (size <= kHeader) return static_cast<std::uint8_t>(i * 37);
    return data[kHeader + i % (size - kHeader)];
  }
};

void TableFromSets(std::uint16_t birth, std::uint16_t survival, std::uint8_t* table) {
  for (unsigned index = 0; index < 512; ++index) {
    const int count = std::popcount(index & ~0x10u);
    const std::uint16_t set = (index & 0x10u) != 0 ? survival : birth;
    table[index] = static_cast<std::uint8_t>((set >> count) & 1u);
  }
}

void Check(bool same) {
  if (!same) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input in{data, size};
  const int width = 32 * (1 + ((in.At(0) | (in.At(1) << 8)) % 128));
  const int height = 2 + in.At(2) % 40;
  const int generations = 1 + in.At(8) % 3;

  std::uint8_t table[512];
  const std::uint16_t birth = static_cast<std::uint16_t>((in.At(4) | (in.At(5) << 8)) & 0x1FF);
  const std::uint16_t survival = static_cast<std::uint16_t>((in.At(6) | (in.At(7) << 8)) & 0x1FF);
  switch (in.At(3) % 4) {
    case 0: {
      static const LifeSettings settings;
      std::memcpy(table, settings.RuleTable, sizeof table);
      break;
    }
    case 1:
      TableFromSets(birth, survival, table);
      break;
    case 2:
      TableFromSets(birth & 0xFF, survival & 0xFF, table);
      table[(in.At(7) << 1 | in.At(6)) % 512] ^= 1;
      break;
    default:
      for (int i = 0; i < 512; ++i) table[i] = in.World(static_cast<std::size_t>(i) * 7);
      break;
  }

  const std::size_t bytes = static_cast<std::size_t>(width / 8 * height);
  std::vector<std::uint8_t> source(bytes), destination(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    source[i] = in.World(i);
    destination[i] = static_cast<std::uint8_t>(in.World(bytes + i) ^ 0x5A);
  }

  std::vector<std::uint8_t> expected, actual;
  for (int g = 0; g < generations; ++g) {
    expected = destination;
    const int expectedCount =
        StepGenerationTable(source.data(), expected.data(), width, height, table);
    for (StepKernel kernel : AvailableStepKernels()) {
      actual = destination;
      const int count = StepKernelFunction(kernel)(source.data(), actual.data(), width, height, table);
      Check(count == expectedCount);
      Check(actual == expected);
    }
    actual = destination;
    Check(StepGeneration(source.data(), actual.data(), width, height, table) == expectedCount);
    Check(actual == expected);
    destination.swap(source);
    source.swap(expected);
  }
  return 0;
}
