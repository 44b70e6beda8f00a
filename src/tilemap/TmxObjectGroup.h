#pragma once
// An object layer: a list of freely placed objects with a display colour. The
// same record holds the collision shapes of a tileset's tile.
#include <cstdint>
#include <vector>

#include "tilemap/TmxLayer.h"
#include "tilemap/TmxObject.h"

namespace tmx {

class ObjectGroup final : public Layer {
 public:
  enum class DrawOrder : std::int32_t { Index = 0, TopDown = 1 };

  ObjectGroup() = default;

  Type getType() const override { return Type::Object; }
  void parse(const pugi::xml_node& node) override;

  const Colour& getColour() const { return colour_; }
  DrawOrder getDrawOrder() const { return drawOrder_; }
  const std::vector<Object>& getObjects() const { return objects_; }

 private:
  Colour colour_{127, 127, 127, 255};
  DrawOrder drawOrder_ = DrawOrder::TopDown;
  std::vector<Object> objects_;
};

}  // namespace tmx
