#pragma once
// Path search on a grid of walkable cells: A* with four neighbours, and a
// jump-point search with eight directions. Cells are numbered row by row
// (cell = y * width + x); a cell is walkable when its byte is not 0. A
// diagonal step needs only the diagonal cell to be walkable, so a path may
// pass between two walls that touch at a corner. The start cell is not
// tested for walkability.
// The result runs from the goal back to the cell after the start, every cell
// on the way listed (also between two jump points); it is empty when start
// and goal are the same cell, and absent when there is no path or the start
// or goal lies outside the grid, or the grid has more than kMaxPathCells
// cells. Each search allocates its own arrays.
#include <cstdint>
#include <optional>
#include <vector>

namespace GCore {

// The most cells a grid may have (2048 x 2048): a search allocates 13 bytes
// a cell and may visit every one of them.
constexpr int64_t kMaxPathCells = int64_t{1} << 22;

struct PathGrid {
  const uint8_t* cells = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

using GridPath = std::optional<std::vector<int32_t>>;

GridPath FindPathAStar(const PathGrid& grid, int32_t start, int32_t goal);
GridPath FindPathJump(const PathGrid& grid, int32_t start, int32_t goal);

}  // namespace GCore
