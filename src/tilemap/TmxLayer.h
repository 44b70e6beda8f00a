#pragma once
// The common part of the three layer kinds of a map (tile layers, object
// groups, image layers). A map owns its layers through the base class and
// tells the kinds apart with getType().
#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "tilemap/TmxProperty.h"
#include "tilemap/TmxTypes.h"

namespace tmx {

class Layer {
 public:
  enum class Type : std::int32_t { Tile = 0, Object = 1, Image = 2 };

  virtual ~Layer() = default;
  virtual Type getType() const = 0;
  // Reads the layer's element; bad input is logged, never thrown.
  virtual void parse(const pugi::xml_node& node) = 0;

  const std::string& getName() const { return m_name; }
  float getOpacity() const { return m_opacity; }
  bool getVisible() const { return m_visible; }
  const Vector2i& getOffset() const { return m_offset; }
  const std::vector<Property>& getProperties() const { return m_properties; }

 protected:
  Layer() = default;
  Layer(const Layer&) = default;
  Layer& operator=(const Layer&) = default;

  void setName(const std::string& name) { m_name = name; }
  void setOpacity(float opacity) { m_opacity = opacity; }
  void setVisible(bool visible) { m_visible = visible; }
  void setOffset(std::int32_t x, std::int32_t y) { m_offset = Vector2i(x, y); }
  // Appends a fresh property and fills it from the element.
  void addProperty(const pugi::xml_node& node);
  // The attributes every layer element shares: name, opacity, visible and the
  // pixel offset.
  void parseLayerAttributes(const pugi::xml_node& node);
  // The children of a "properties" element, each as a property of this layer.
  void addProperties(const pugi::xml_node& propertiesNode);

 private:
  std::string m_name;
  float m_opacity = 1.0f;
  bool m_visible = true;
  Vector2i m_offset;
  std::vector<Property> m_properties;
};

}  // namespace tmx
