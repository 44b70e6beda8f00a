#include "core/PathHeap.h"

#include <utility>

namespace GCore {

void PathHeap::Push(int32_t cell, double key) {
  const auto needed = static_cast<size_t>(cell) + 1;
  if (needed > position_.size()) {
    // The index grows in powers of two.
    size_t size = position_.empty() ? 16 : position_.size();
    while (size < needed) size *= 2;
    position_.resize(size, -1);
  }
  entries_.push_back(Entry{key, cell});
  position_[static_cast<size_t>(cell)] = static_cast<int32_t>(entries_.size() - 1);
  SiftUp(entries_.size() - 1);
}

void PathHeap::Pop() {
  position_[static_cast<size_t>(entries_.front().cell)] = -1;
  if (entries_.size() > 1) {
    entries_.front() = entries_.back();
    position_[static_cast<size_t>(entries_.front().cell)] = 0;
  }
  entries_.pop_back();
  if (!entries_.empty()) SiftDown(0);
}

bool PathHeap::Contains(int32_t cell) const {
  if (cell < 0 || static_cast<size_t>(cell) >= position_.size()) return false;
  const int32_t at = position_[static_cast<size_t>(cell)];
  return at >= 0 && static_cast<size_t>(at) < entries_.size();
}

void PathHeap::ChangeKey(int32_t cell, double key) {
  const auto at = static_cast<size_t>(position_[static_cast<size_t>(cell)]);
  const double old = entries_[at].key;
  entries_[at].key = key;
  // Whenever the key falls it may pass its parent, however little it falls
  // (the diagonal costs of the jump search are irrational).
  if (key < old) {
    SiftUp(at);
  } else if (key > old) {
    SiftDown(at);
  }
}

void PathHeap::SiftUp(size_t i) {
  while (i > 0) {
    const size_t parent = (i - 1) / 2;
    if (entries_[i].key > entries_[parent].key) break;
    Swap(i, parent);
    i = parent;
  }
}

void PathHeap::SiftDown(size_t i) {
  const size_t count = entries_.size();
  for (size_t child = 2 * i + 1; child < count; child = 2 * i + 1) {
    if (child + 1 < count && entries_[child].key > entries_[child + 1].key) ++child;
    if (entries_[child].key > entries_[i].key) break;
    Swap(i, child);
    i = child;
  }
}

void PathHeap::Swap(size_t i, size_t j) {
  std::swap(entries_[i], entries_[j]);
  position_[static_cast<size_t>(entries_[i].cell)] = static_cast<int32_t>(i);
  position_[static_cast<size_t>(entries_[j].cell)] = static_cast<int32_t>(j);
}

}  // namespace GCore
