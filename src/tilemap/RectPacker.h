#pragma once
// A binary-tree rectangle packer: every placed rectangle splits the free
// node it lands in into the space right of it and the space below it. The
// first fit in depth-first order (right before below) wins. Rectangles are
// placed tallest first; rectangles of equal height keep their order, so the
// same input always packs the same way. Plain data, main thread only.
#include <cstdint>
#include <memory>
#include <vector>

namespace GCore {

class RectPacker {
 public:
  struct Node {
    bool used = false;
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::unique_ptr<Node> below;
    std::unique_ptr<Node> right;
  };

  // One rectangle to place; `node` is where it went, or null.
  struct Rect {
    uint32_t imageKey = 0;  // 0: takes no part
    int32_t index = 0;      // the tile record it belongs to
    int32_t width = 0, height = 0;
    int32_t sourceX = 0, sourceY = 0;
    const Node* node = nullptr;
  };

  // Node visits one Pack may spend: a hostile map may ask for hundreds of
  // thousands of tiny images, whose first-fit search would take hours. What
  // the budget leaves unplaced stays unplaced.
  static constexpr uint64_t kVisitBudget = 1u << 24;

  // Places the rectangles of width and height > 0 in a free W x H area;
  // each one's node is set, or cleared when it did not fit.
  void Pack(std::vector<Rect>& rects, int32_t W, int32_t H);
  // Frees the tree; nodes handed out before are gone.
  void Clear();
  const Node* Root() const { return root_.get(); }
  // Whether the last Pack ran out of its budget.
  bool Exhausted() const { return visits_ > kVisitBudget; }

 private:
  Node* FindNode(Node* node, int32_t w, int32_t h);
  static Node* SplitNode(Node* node, int32_t w, int32_t h);

  std::unique_ptr<Node> root_;
  uint64_t visits_ = 0;
};

}  // namespace GCore
