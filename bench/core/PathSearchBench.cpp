// Path search on 1024 x 1024 random grids: A* (four neighbours) and the jump
// search (eight directions), each beside a plain Dijkstra of the same
// neighbourhood on the same grid, start and goal (the tests' reference
// search, as the peer). Milliseconds per search, the best of three, so that
// the first, cold search counts on neither side.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "PeerFigures.h"
#include "core/GridReference.h"
#include "core/PathSearch.h"

namespace {

constexpr int32_t kSide = 1024;
constexpr int kRuns = 3;

template <class Body>
double Milliseconds(Body body) {
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    const auto begin = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - begin;
    if (took.count() < best) best = took.count();
  }
  return best;
}

// The walkable cell nearest to (x, y) along its row.
int32_t WalkableNear(const grid_reference::Grid& grid, int32_t x, int32_t y) {
  for (int32_t cell = y * grid.width + x; cell < static_cast<int32_t>(grid.cells.size()); ++cell) {
    if (grid.cells[static_cast<size_t>(cell)]) return cell;
  }
  return 0;
}

}  // namespace

int main() {
  std::printf("path search on %d x %d random grids, best of %d (ms)\n", kSide, kSide, kRuns);
  struct Route {
    const char* name;
    int32_t x0, y0, x1, y1;
  };
  const Route routes[] = {{"corner to corner", 0, 0, kSide - 1, kSide - 1}, {"across", 0, kSide / 2, kSide - 1, kSide / 2}};
  for (int walls : {10, 25, 35}) {
    const grid_reference::Grid grid = grid_reference::RandomGrid(kSide, kSide, walls, 2024);
    const GCore::PathGrid view{grid.cells.data(), grid.width, grid.height};
    for (const Route& route : routes) {
      const int32_t start = WalkableNear(grid, route.x0, route.y0);
      const int32_t goal = WalkableNear(grid, route.x1 - 8, route.y1);
      double cost = -1;
      const double astar = Milliseconds([&] { GCore::FindPathAStar(view, start, goal); });
      const double dijkstra4 = Milliseconds([&] { grid_reference::DijkstraCost(grid, start, goal, false); });
      const double jump = Milliseconds([&] { GCore::FindPathJump(view, start, goal); });
      const double dijkstra8 = Milliseconds([&] { cost = grid_reference::DijkstraCost(grid, start, goal, true); });
      std::printf("%d%% walls, %s (cost with eight directions %.1f)\n", walls, route.name, cost);
      PrintPeerFigures("A*, four neighbours", astar, "Dijkstra", dijkstra4);
      PrintPeerFigures("jump search, eight directions", jump, "Dijkstra", dijkstra8);
    }
  }
  return 0;
}
