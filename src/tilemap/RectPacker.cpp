#include "tilemap/RectPacker.h"

#include <algorithm>

namespace GCore {

void RectPacker::Clear() { root_.reset(); }

void RectPacker::Pack(std::vector<Rect>& rects, int32_t W, int32_t H) {
  root_ = std::make_unique<Node>();
  root_->width = W;
  root_->height = H;
  visits_ = 0;
  std::vector<Rect*> order;
  order.reserve(rects.size());
  for (Rect& rect : rects) {
    rect.node = nullptr;
    if (rect.width > 0 && rect.height > 0) order.push_back(&rect);
  }
  std::stable_sort(order.begin(), order.end(), [](const Rect* a, const Rect* b) { return a->height > b->height; });
  for (Rect* rect : order) {
    if (Exhausted()) break;
    if (Node* node = FindNode(root_.get(), rect->width, rect->height)) rect->node = SplitNode(node, rect->width, rect->height);
  }
}

RectPacker::Node* RectPacker::FindNode(Node* node, int32_t w, int32_t h) {
  if (!node || ++visits_ > kVisitBudget) return nullptr;
  if (node->used) {
    if (Node* found = FindNode(node->right.get(), w, h)) return found;
    return FindNode(node->below.get(), w, h);
  }
  return w <= node->width && h <= node->height ? node : nullptr;
}

RectPacker::Node* RectPacker::SplitNode(Node* node, int32_t w, int32_t h) {
  node->used = true;
  node->below = std::make_unique<Node>();
  *node->below = Node{false, node->x, node->y + h, node->width, node->height - h, nullptr, nullptr};
  node->right = std::make_unique<Node>();
  *node->right = Node{false, node->x + w, node->y, node->width - w, h, nullptr, nullptr};
  return node;
}

}  // namespace GCore
