#include "core/PathSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/PathHeap.h"

namespace GCore {

namespace {

// Directions 0 to 7 clockwise from north (y - 1); odd ones are diagonal; 8
// is none (the start). Direction d + k means (d + k) modulo 8.
constexpr int kNoDirection = 8;
constexpr int kStepX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kStepY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

constexpr int Turn(int direction, int by) { return (direction + by) & 7; }

class Search {
 public:
  Search(const PathGrid& grid, int32_t start, int32_t goal)
      : grid_(grid),
        start_(start),
        goal_(goal),
        closed_(Cells(), 0),
        cost_(Cells(), 0.0),
        parent_(Cells(), -1) {
    goalX_ = goal % grid.width;
    goalY_ = goal / grid.width;
  }

  GridPath RunAStar();
  GridPath RunJump();

 private:
  size_t Cells() const { return static_cast<size_t>(grid_.width) * static_cast<size_t>(grid_.height); }
  int32_t X(int32_t cell) const { return cell % grid_.width; }
  int32_t Y(int32_t cell) const { return cell / grid_.width; }
  bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < grid_.width && y < grid_.height; }
  bool Walkable(int32_t x, int32_t y) const { return Inside(x, y) && grid_.cells[y * grid_.width + x] != 0; }
  bool Walkable(int32_t x, int32_t y, int direction) const {
    return Walkable(x + kStepX[direction], y + kStepY[direction]);
  }

  // Chebyshev distance to the goal.
  double Heuristic(int32_t x, int32_t y) const { return std::max(std::abs(x - goalX_), std::abs(y - goalY_)); }
  // Straight lines cost their length, diagonal lines their Euclidean length.
  static double StepCost(int32_t dx, int32_t dy) {
    if (dx != 0 && dy != 0) return std::sqrt(double(dx) * dx + double(dy) * dy);
    return std::abs(dx) + std::abs(dy);
  }

  // Expands cells in key order from the start until the goal comes up;
  // `expand`(cell, x, y) relaxes the cells it reaches.
  template <class Expand>
  GridPath Run(Expand expand);
  // The expanded cell `from` offers `cell`, at (x, y), a path of `step` more.
  void Relax(int32_t cell, int32_t x, int32_t y, int32_t from, double step);
  // The path from the goal back to the cell after the start, along the
  // parent links, one cell a step.
  GridPath BuildPath() const;

  int DirectionFromParent(int32_t cell) const;
  // Bit d set for each forced direction of (x, y) travelling in `direction`.
  unsigned ForcedDirections(int32_t x, int32_t y, int direction) const;
  // The next jump point from (x, y) in `direction`, or -1.
  int32_t Jump(int direction, int32_t x, int32_t y) const;

  const PathGrid& grid_;
  int32_t start_;
  int32_t goal_;
  int32_t goalX_ = 0;
  int32_t goalY_ = 0;
  PathHeap open_;
  std::vector<uint8_t> closed_;
  std::vector<double> cost_;
  std::vector<int32_t> parent_;
};

void Search::Relax(int32_t cell, int32_t x, int32_t y, int32_t from, double step) {
  const double cost = cost_[static_cast<size_t>(from)] + step;
  if (open_.Contains(cell)) {
    if (cost_[static_cast<size_t>(cell)] <= cost) return;
    parent_[static_cast<size_t>(cell)] = from;
    cost_[static_cast<size_t>(cell)] = cost;
    open_.ChangeKey(cell, cost + Heuristic(x, y));
    return;
  }
  parent_[static_cast<size_t>(cell)] = from;
  cost_[static_cast<size_t>(cell)] = cost;
  open_.Push(cell, cost + Heuristic(x, y));
}

template <class Expand>
GridPath Search::Run(Expand expand) {
  open_.Push(start_, Heuristic(X(start_), Y(start_)));
  while (!open_.Empty()) {
    const int32_t cell = open_.Top();
    if (cell == goal_) return BuildPath();
    open_.Pop();
    closed_[static_cast<size_t>(cell)] = 1;
    expand(cell, X(cell), Y(cell));
  }
  return std::nullopt;
}

GridPath Search::RunAStar() {
  // North, south, east, west.
  static constexpr int kNeighbours[4] = {0, 4, 2, 6};
  return Run([this](int32_t cell, int32_t x, int32_t y) {
    for (int direction : kNeighbours) {
      const int32_t nx = x + kStepX[direction], ny = y + kStepY[direction];
      if (!Walkable(nx, ny)) continue;
      const int32_t next = ny * grid_.width + nx;
      if (!closed_[static_cast<size_t>(next)]) Relax(next, nx, ny, cell, 1.0);
    }
  });
}

int Search::DirectionFromParent(int32_t cell) const {
  const int32_t parent = parent_[static_cast<size_t>(cell)];
  if (parent < 0) return kNoDirection;
  const int32_t dx = X(cell) - X(parent), dy = Y(cell) - Y(parent);
  const int sx = (dx > 0) - (dx < 0), sy = (dy > 0) - (dy < 0);
  for (int direction = 0; direction < 8; ++direction) {
    if (kStepX[direction] == sx && kStepY[direction] == sy) return direction;
  }
  return kNoDirection;
}

unsigned Search::ForcedDirections(int32_t x, int32_t y, int direction) const {
  if (direction == kNoDirection) return 0;
  // Diagonal travel looks at the sides at +-90 degrees, straight travel at
  // +-45 degrees; each is forced when the cell just behind it is a wall.
  const int side = direction & 1 ? 2 : 1;
  unsigned forced = 0;
  const int left = Turn(direction, 8 - side), right = Turn(direction, side);
  if (Walkable(x, y, left) && !Walkable(x, y, Turn(left, 7))) forced |= 1u << left;
  if (Walkable(x, y, right) && !Walkable(x, y, Turn(right, 1))) forced |= 1u << right;
  return forced;
}

int32_t Search::Jump(int direction, int32_t x, int32_t y) const {
  const bool diagonal = direction & 1;
  while (true) {
    x += kStepX[direction];
    y += kStepY[direction];
    if (!Walkable(x, y)) return -1;
    const int32_t cell = y * grid_.width + x;
    if (cell == goal_ || ForcedDirections(x, y, direction) != 0) return cell;
    if (diagonal && (Jump(Turn(direction, 7), x, y) != -1 || Jump(Turn(direction, 1), x, y) != -1)) return cell;
  }
}

GridPath Search::RunJump() {
  return Run([this](int32_t cell, int32_t x, int32_t y) {
    const int direction = DirectionFromParent(cell);
    unsigned candidates = ForcedDirections(x, y, direction);
    if (direction == kNoDirection) {
      candidates = 0xFF;
    } else {
      candidates |= 1u << direction;
      if (direction & 1) candidates |= 1u << Turn(direction, 1) | 1u << Turn(direction, 7);
    }
    for (int next = 0; next < 8; ++next) {
      if (!(candidates & (1u << next))) continue;
      const int32_t point = Jump(next, x, y);
      if (point < 0 || closed_[static_cast<size_t>(point)]) continue;
      const int32_t px = X(point), py = Y(point);
      Relax(point, px, py, cell, StepCost(px - x, py - y));
    }
  });
}

GridPath Search::BuildPath() const {
  std::vector<int32_t> path;
  int32_t current = goal_;
  int32_t next = goal_;
  while (true) {
    int32_t x = X(current), y = Y(current);
    const int32_t nx = X(next), ny = Y(next);
    x += (nx > x) - (nx < x);
    y += (ny > y) - (ny < y);
    current = y * grid_.width + x;
    if (current == next) next = parent_[static_cast<size_t>(next)];
    path.push_back(current);
    if (current == start_) {
      path.pop_back();
      return path;
    }
  }
}

bool Accepts(const PathGrid& grid, int32_t start, int32_t goal) {
  if (!grid.cells || grid.width <= 0 || grid.height <= 0) return false;
  const int64_t cells = int64_t{grid.width} * grid.height;
  return cells <= kMaxPathCells && start >= 0 && goal >= 0 && start < cells && goal < cells;
}

}  // namespace

GridPath FindPathAStar(const PathGrid& grid, int32_t start, int32_t goal) {
  if (!Accepts(grid, start, goal)) return std::nullopt;
  return Search(grid, start, goal).RunAStar();
}

GridPath FindPathJump(const PathGrid& grid, int32_t start, int32_t goal) {
  if (!Accepts(grid, start, goal)) return std::nullopt;
  return Search(grid, start, goal).RunJump();
}

}  // namespace GCore
