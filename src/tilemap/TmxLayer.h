#pragma once
// The common part of the three layer kinds of a map (tile layers, object
// groups, image layers). A map owns its layers through the base class and
// tells the kinds apart with getType().
#include <cstdint>
#include <string>
#include <vector>

#include "tilemap/TmxXmlNode.h"

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

  const std::string& getName() const { return name_; }
  float getOpacity() const { return opacity_; }
  bool getVisible() const { return visible_; }
  const Vector2i& getOffset() const { return offset_; }
  const std::vector<Property>& getProperties() const { return properties_; }

 protected:
  Layer() = default;
  Layer(const Layer&) = default;
  Layer& operator=(const Layer&) = default;

  void setName(const std::string& name) { name_ = name; }
  void setOpacity(float opacity) { opacity_ = opacity; }
  void setVisible(bool visible) { visible_ = visible; }
  void setOffset(std::int32_t x, std::int32_t y) { offset_ = Vector2i(x, y); }
  // Appends a fresh property and fills it from the element.
  void addProperty(const pugi::xml_node& node);
  // The attributes every layer element shares: name, opacity, visible and the
  // pixel offset.
  void parseLayerAttributes(const pugi::xml_node& node);
  // The children of a "properties" element, each as a property of this layer.
  void addProperties(const pugi::xml_node& propertiesNode);

 private:
  std::string name_;
  float opacity_ = 1.0f;
  bool visible_ = true;
  Vector2i offset_;
  std::vector<Property> properties_;
};

}  // namespace tmx
