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

  const Colour& getColour() const { return m_colour; }
  DrawOrder getDrawOrder() const { return m_drawOrder; }
  const std::vector<Object>& getObjects() const { return m_objects; }

 private:
  Colour m_colour{127, 127, 127, 255};
  DrawOrder m_drawOrder = DrawOrder::TopDown;
  std::vector<Object> m_objects;
};

}  // namespace tmx
