#pragma once
// One object of an object group: a rectangle, ellipse, polygon, polyline, text
// block or tile placed freely on the map. Plain data, copied by value.
#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

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

  std::uint32_t getUID() const { return m_UID; }
  const std::string& getName() const { return m_name; }
  const std::string& getType() const { return m_type; }
  const Vector2f& getPosition() const { return m_position; }
  const FloatRect& getAABB() const { return m_AABB; }
  float getRotation() const { return m_rotation; }
  // The whole GID of a tile object, flip bits included; 0 for other objects.
  std::uint32_t getTileID() const { return m_tileID; }
  bool visible() const { return m_visible; }
  Shape getShape() const { return m_shape; }
  const std::vector<Vector2f>& getPoints() const { return m_points; }
  const std::vector<Property>& getProperties() const { return m_properties; }
  const Text& getText() const { return m_text; }
  Text& getText() { return m_text; }

 private:
  void parsePoints(const pugi::xml_node& node);
  void parseText(const pugi::xml_node& node);

  std::uint32_t m_UID = 0;
  std::string m_name;
  std::string m_type;
  Vector2f m_position;
  FloatRect m_AABB;
  float m_rotation = 0.0f;
  std::uint32_t m_tileID = 0;
  bool m_visible = true;
  Shape m_shape = Shape::Rectangle;
  std::vector<Vector2f> m_points;
  std::vector<Property> m_properties;
  Text m_text;
};

}  // namespace tmx
