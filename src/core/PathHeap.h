#pragma once
// The open list of the grid path searches: a binary min-heap of (key, cell)
// entries with an index from each cell to its place in the heap, so that a
// cell's key can change without a search for the cell. Among equal keys the
// newest entry rises above the older ones.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace GCore {

class PathHeap {
 public:
  bool Empty() const { return entries_.empty(); }
  size_t Size() const { return entries_.size(); }
  // The cell with the smallest key (Empty() must be false).
  int32_t Top() const { return entries_.front().cell; }
  double TopKey() const { return entries_.front().key; }

  // Adds a cell that is not in the heap (cell >= 0).
  void Push(int32_t cell, double key);
  void Pop();
  bool Contains(int32_t cell) const;
  // Gives a cell of the heap a new key and restores the heap order.
  void ChangeKey(int32_t cell, double key);

 private:
  struct Entry {
    double key;
    int32_t cell;
  };
  void SiftUp(size_t i);
  void SiftDown(size_t i);
  void Swap(size_t i, size_t j);

  std::vector<Entry> entries_;
  std::vector<int32_t> position_;  // heap index of each cell, -1 when absent
};

}  // namespace GCore
