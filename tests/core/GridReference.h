#pragma once
// Plain reference searches for the grid path search: breadth-first distances
// with four neighbours and Dijkstra's costs with four or eight (straight
// steps 1, diagonal steps sqrt 2; a diagonal step needs only the diagonal
// cell to be walkable), and seeded random grids.
// Shared by the path search tests and benchmark.
#include <cmath>
#include <cstdint>
#include <queue>
#include <random>
#include <vector>

namespace grid_reference {

struct Grid {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> cells;  // 0 a wall
  bool Walkable(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < width && y < height && cells[static_cast<size_t>(y * width + x)] != 0;
  }
};

// Walls placed with the given percentage, from a fixed seed.
inline Grid RandomGrid(int32_t width, int32_t height, int wallPercent, uint32_t seed) {
  std::mt19937 random(seed);
  Grid grid{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
  for (uint8_t& cell : grid.cells) cell = random() % 100 < static_cast<uint32_t>(wallPercent) ? 0 : 1;
  return grid;
}

// Steps from the start to every cell with four neighbours; -1 where unreachable.
inline std::vector<int32_t> BreadthFirst(const Grid& grid, int32_t start) {
  std::vector<int32_t> distance(grid.cells.size(), -1);
  std::queue<int32_t> queue;
  distance[static_cast<size_t>(start)] = 0;
  queue.push(start);
  static constexpr int kDx[4] = {0, 0, 1, -1}, kDy[4] = {-1, 1, 0, 0};
  while (!queue.empty()) {
    const int32_t cell = queue.front();
    queue.pop();
    const int32_t x = cell % grid.width, y = cell / grid.width;
    for (int d = 0; d < 4; ++d) {
      const int32_t nx = x + kDx[d], ny = y + kDy[d];
      if (!grid.Walkable(nx, ny)) continue;
      const int32_t next = ny * grid.width + nx;
      if (distance[static_cast<size_t>(next)] >= 0) continue;
      distance[static_cast<size_t>(next)] = distance[static_cast<size_t>(cell)] + 1;
      queue.push(next);
    }
  }
  return distance;
}

// Dijkstra from the start to the goal; -1 when unreachable.
inline double DijkstraCost(const Grid& grid, int32_t start, int32_t goal, bool diagonal) {
  std::vector<double> cost(grid.cells.size(), -1);
  using Entry = std::pair<double, int32_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
  cost[static_cast<size_t>(start)] = 0;
  open.push({0, start});
  while (!open.empty()) {
    const auto [known, cell] = open.top();
    open.pop();
    if (cell == goal) return known;
    if (known > cost[static_cast<size_t>(cell)]) continue;
    const int32_t x = cell % grid.width, y = cell / grid.width;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if ((dx == 0 && dy == 0) || (!diagonal && dx != 0 && dy != 0) || !grid.Walkable(x + dx, y + dy)) continue;
        const int32_t next = (y + dy) * grid.width + x + dx;
        const double step = dx != 0 && dy != 0 ? std::sqrt(2.0) : 1.0;
        double& best = cost[static_cast<size_t>(next)];
        if (best < 0 || known + step < best) {
          best = known + step;
          open.push({best, next});
        }
      }
    }
  }
  return -1;
}

}  // namespace grid_reference
