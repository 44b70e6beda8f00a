// The grid path searches against plain references on seeded random grids,
// and the heap under them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "core/GridReference.h"
#include "core/PathHeap.h"
#include "core/PathSearch.h"

namespace {

using grid_reference::Grid;

GCore::PathGrid View(const Grid& grid) { return GCore::PathGrid{grid.cells.data(), grid.width, grid.height}; }

// The path from the start: each step to a neighbour (four or eight) that is
// walkable; returns the path's cost (straight 1, diagonal sqrt 2).
double WalkCost(const Grid& grid, int32_t start, const std::vector<int32_t>& path, bool diagonal) {
  double cost = 0;
  int32_t from = start;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    const int32_t dx = std::abs(*it % grid.width - from % grid.width);
    const int32_t dy = std::abs(*it / grid.width - from / grid.width);
    EXPECT_TRUE(dx <= 1 && dy <= 1 && dx + dy > 0) << "a step to a neighbour";
    if (!diagonal) {
      EXPECT_EQ(dx + dy, 1) << "no diagonal steps";
    }
    EXPECT_TRUE(grid.cells[static_cast<size_t>(*it)]) << "a walkable cell";
    cost += dx + dy == 2 ? std::sqrt(2.0) : 1.0;
    from = *it;
  }
  return cost;
}

TEST(PathHeap, AKeyThatFallsByLessThanItsFractionRisesAboveItsParent) {
  GCore::PathHeap heap;
  heap.Push(1, 5.3);
  heap.Push(2, 5.6);
  heap.ChangeKey(2, 5.2);  // falls, but not below 5, the integer part of 5.6
  EXPECT_EQ(heap.Top(), 2);
  heap.ChangeKey(2, 5.9);
  EXPECT_EQ(heap.Top(), 1);
}

TEST(PathHeap, PopsInKeyOrderNewestFirstAmongEquals) {
  GCore::PathHeap heap;
  const double keys[] = {4, 1, 3, 1, 2, 5, 1.5};
  for (int cell = 0; cell < 7; ++cell) heap.Push(cell * 100, keys[cell]);
  EXPECT_TRUE(heap.Contains(300) && !heap.Contains(301) && !heap.Contains(-1) && !heap.Contains(100000));
  const int32_t expected[] = {300, 100, 600, 400, 200, 0, 500};
  for (int32_t cell : expected) {
    ASSERT_FALSE(heap.Empty());
    EXPECT_EQ(heap.Top(), cell);
    heap.Pop();
    EXPECT_FALSE(heap.Contains(cell));
  }
  EXPECT_TRUE(heap.Empty());
}

TEST(PathSearch, AStarLengthIsTheBreadthFirstDistance) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    const Grid grid = grid_reference::RandomGrid(20 + seed % 7, 15 + seed % 5, 30, seed);
    const int32_t cells = grid.width * grid.height;
    const int32_t start = static_cast<int32_t>(seed * 7919 % cells);
    const std::vector<int32_t> distance = grid_reference::BreadthFirst(grid, start);
    for (int32_t goal = 0; goal < cells; goal += 3) {
      const GCore::GridPath path = GCore::FindPathAStar(View(grid), start, goal);
      ASSERT_EQ(path.has_value(), distance[static_cast<size_t>(goal)] >= 0) << goal;
      if (!path) continue;
      EXPECT_EQ(static_cast<int32_t>(path->size()), distance[static_cast<size_t>(goal)]) << goal;
      if (!path->empty()) {
        EXPECT_EQ(path->front(), goal);
      }
      WalkCost(grid, start, *path, false);
    }
  }
}

TEST(PathSearch, JumpCostIsTheDijkstraOctileCost) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    const Grid grid = grid_reference::RandomGrid(24 + seed % 9, 18 + seed % 4, 15 + seed % 30, seed);
    const int32_t cells = grid.width * grid.height;
    for (int pair = 0; pair < 20; ++pair) {
      const int32_t start = static_cast<int32_t>((seed * 7919 + pair * 104729) % cells);
      const int32_t goal = static_cast<int32_t>((seed * 15485863 + pair * 32452843) % cells);
      if (!grid.cells[static_cast<size_t>(goal)]) continue;
      const double want = grid_reference::DijkstraCost(grid, start, goal, true);
      const GCore::GridPath path = GCore::FindPathJump(View(grid), start, goal);
      ASSERT_EQ(path.has_value(), want >= 0) << start << " -> " << goal;
      if (!path) continue;
      EXPECT_NEAR(WalkCost(grid, start, *path, true), want, 1e-9) << start << " -> " << goal;
    }
  }
}

TEST(PathSearch, StartAndGoalOutsideTheGridFindNothing) {
  const Grid grid = grid_reference::RandomGrid(4, 3, 0, 1);
  for (const auto& [start, goal] : {std::pair{-1, 0}, {0, -1}, {12, 0}, {0, 12}}) {
    EXPECT_FALSE(GCore::FindPathAStar(View(grid), start, goal));
    EXPECT_FALSE(GCore::FindPathJump(View(grid), start, goal));
  }
  EXPECT_FALSE(GCore::FindPathJump(GCore::PathGrid{}, 0, 0)) << "no grid yet";
  ASSERT_TRUE(GCore::FindPathJump(View(grid), 5, 5));
  EXPECT_TRUE(GCore::FindPathJump(View(grid), 5, 5)->empty());
}

TEST(PathSearch, GridsOfTooManyCellsAreRefusedBeforeAnyAllocation) {
  // The grid's own bytes are few: a search that took the sizes at their word
  // would read far past them (and allocate 13 bytes for each claimed cell).
  const std::vector<uint8_t> cells(16, 1);
  const struct {
    int32_t width, height;
  } sizes[] = {{2049, 2048}, {2048, 2049}, {32767, 32767}, {INT32_MAX, 2}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height));
    ASSERT_GT(int64_t{s.width} * s.height, GCore::kMaxPathCells);
    const GCore::PathGrid grid{cells.data(), s.width, s.height};
    EXPECT_FALSE(GCore::FindPathAStar(grid, 0, 1));
    EXPECT_FALSE(GCore::FindPathJump(grid, 0, 1));
  }
}

}  // namespace
