#pragma once
// One object of an object group: a rectangle, ellipse, polygon, polyline, text
// block or tile placed freely on the map. Plain data, copied by value.
#include <cstdint>
#include <string>
#include <vector>

#include "tilemap/TmxXmlNode.h"

#include "tilemap/TmxProperty.h"
#include "tilemap/TmxTypes.h"

namespace tmx {

struct Text {
  enum class HAlign : std::uint32_t { Left = 0, Centre = 1, Right = 2 };
  enum class VAlign : std::uint32_t { Top = 0, Centre = 1, Bottom = 2 };

  std::string fontFamily;
  std::uint32_t pixelSize = 16;
  bool wrap = false;
  Colour colour;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  bool kerning = true;
  HAlign hAlign = HAlign::Left;
  VAlign vAlign = VAlign::Top;
  std::string content;
};

class Object {
 public:
  enum class Shape : std::int32_t { Rectangle = 0, Ellipse = 1, Polygon = 2, Polyline = 3, Text = 4 };

  Object() = default;

  // Fills the object from an "object" element; any other element is logged
  // and leaves the object unchanged.
  void parse(const pugi::xml_node& node);

  std::uint32_t getUID() const { return UID_; }
  const std::string& getName() const { return name_; }
  const std::string& getType() const { return type_; }
  const Vector2f& getPosition() const { return position_; }
  const FloatRect& getAABB() const { return AABB_; }
  float getRotation() const { return rotation_; }
  // The whole GID of a tile object, flip bits included; 0 for other objects.
  std::uint32_t getTileID() const { return tileID_; }
  bool visible() const { return visible_; }
  Shape getShape() const { return shape_; }
  const std::vector<Vector2f>& getPoints() const { return points_; }
  const std::vector<Property>& getProperties() const { return properties_; }
  const Text& getText() const { return text_; }
  Text& getText() { return text_; }

 private:
  void parsePoints(const pugi::xml_node& node);
  void parseText(const pugi::xml_node& node);

  std::uint32_t UID_ = 0;
  std::string name_;
  std::string type_;
  Vector2f position_;
  FloatRect AABB_;
  float rotation_ = 0.0f;
  std::uint32_t tileID_ = 0;
  bool visible_ = true;
  Shape shape_ = Shape::Rectangle;
  std::vector<Vector2f> points_;
  std::vector<Property> properties_;
  Text text_;
};

}  // namespace tmx
