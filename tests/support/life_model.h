#pragma once
// A deliberately plain model of one generation: every cell's 3x3
// neighbourhood looked up in the rule table one by one, and the change count
// found by comparing each destination cell before and after.
#include <cstdint>
#include <random>
#include <vector>

namespace model {

struct World {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;  // the buffer layout of the engine

  World() = default;
  World(int w, int h) : width(w), height(h), bits(static_cast<size_t>(w / 8 * h), 0) {}

  bool Get(int row, int col) const {
    row = ((row % height) + height) % height;
    col = ((col % width) + width) % width;
    return (bits[static_cast<size_t>(row * (width / 8) + col / 8)] >> (7 - col % 8)) & 1;
  }
  void Set(int row, int col, bool live) {
    std::uint8_t& byte = bits[static_cast<size_t>(row * (width / 8) + col / 8)];
    const auto mask = static_cast<std::uint8_t>(0x80 >> (col % 8));
    byte = live ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
  }
  int Population() const {
    int n = 0;
    for (int r = 0; r < height; ++r)
      for (int c = 0; c < width; ++c) n += Get(r, c);
    return n;
  }
};

inline unsigned Neighbourhood(const World& w, int row, int col) {
  unsigned index = 0;
  for (int dr : {1, 0, -1})      // above, the row itself, below
    for (int dc : {-1, 0, 1})    // left to right
      index = (index << 1) | (w.Get(row + dr, col + dc) ? 1u : 0u);
  return index;
}

// Steps source into destination; returns the number of changed cells.
inline int Step(const World& source, World& destination, const std::uint8_t* rule) {
  World next(source.width, source.height);
  int changes = 0;
  for (int r = 0; r < source.height; ++r)
    for (int c = 0; c < source.width; ++c) {
      const bool live = rule[Neighbourhood(source, r, c)] != 0;
      next.Set(r, c, live);
      changes += live != destination.Get(r, c);
    }
  destination = next;
  return changes;
}

// Random content with the given chance of a live cell.
inline World Soup(int width, int height, double density, std::mt19937& rng) {
  World w(width, height);
  std::bernoulli_distribution live(density);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) w.Set(r, c, live(rng));
  return w;
}

}  // namespace model
