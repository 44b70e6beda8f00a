#include "tilemap/TmxObject.h"

#include <cstring>
#include <locale>
#include <sstream>

#include <pugixml.hpp>

#include "tilemap/TmxLog.h"

namespace tmx {
namespace {

// An attribute without text counts as absent: the format's writers leave
// such attributes out rather than writing them empty.
bool HasText(const pugi::xml_attribute& attribute) { return attribute && *attribute.value(); }

// Reads "x,y" from one token of a points list; false when fewer than two
// numbers can be read from it.
bool ReadPoint(const std::string& token, Vector2f& point) {
  std::istringstream stream(token);
  stream.imbue(std::locale::classic());
  float numbers[2];
  for (float& number : numbers) {
    if (!(stream >> number)) return false;
    if (stream.peek() == ',') stream.get();
  }
  point = Vector2f(numbers[0], numbers[1]);
  return true;
}

}  // namespace

void Object::parse(const pugi::xml_node& node) {
  if (std::strcmp(node.name(), "object") != 0) {
    logMessage("This not an Object node, parsing skipped.", LogLevel::Error);
    return;
  }

  UID_ = std::uint32_t(node.attribute("id").as_int(0));
  name_ = node.attribute("name").as_string();
  type_ = node.attribute("type").as_string();

  const float x = node.attribute("x").as_float(0.0f);
  const float y = node.attribute("y").as_float(0.0f);
  position_ = Vector2f(x, y);
  AABB_ = FloatRect(x, y, node.attribute("width").as_float(0.0f), node.attribute("height").as_float(0.0f));
  rotation_ = node.attribute("rotation").as_float(0.0f);
  tileID_ = node.attribute("gid").as_uint(0);
  const pugi::xml_attribute visibleAttribute = node.attribute("visible");
  visible_ = HasText(visibleAttribute) ? visibleAttribute.as_bool() : true;

  for (const pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "properties") {
      parseProperties(child, properties_);
    } else if (name == "ellipse") {
      shape_ = Shape::Ellipse;
    } else if (name == "polygon") {
      shape_ = Shape::Polygon;
      parsePoints(child);
    } else if (name == "polyline") {
      shape_ = Shape::Polyline;
      parsePoints(child);
    } else if (name == "text") {
      shape_ = Shape::Text;
      parseText(child);
    }
  }
}

void Object::parsePoints(const pugi::xml_node& node) {
  const pugi::xml_attribute points = node.attribute("points");
  if (!points) {
    logMessage("Points for polygon or polyline object are missing", LogLevel::Warning);
    return;
  }

  // Tokens are separated by single spaces; a token from which no point can be
  // read (an empty one between two spaces, a lone number) is skipped.
  const std::string text = points.value();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    Vector2f point;
    if (ReadPoint(text.substr(start, end - start), point)) points_.push_back(point);
    start = end + 1;
  }
}

void Object::parseText(const pugi::xml_node& node) {
  text_.bold = node.attribute("bold").as_bool(false);
  const pugi::xml_attribute colour = node.attribute("color");
  text_.colour = parseColour(HasText(colour) ? colour.value() : "#FFFFFFFF");
  text_.fontFamily = node.attribute("fontfamily").as_string();
  text_.italic = node.attribute("italic").as_bool(false);
  text_.kerning = node.attribute("kerning").as_bool(true);
  const pugi::xml_attribute pixelSize = node.attribute("pixelsize");
  text_.pixelSize = HasText(pixelSize) ? pixelSize.as_uint() : 16;
  text_.strikethrough = node.attribute("strikeout").as_bool(false);
  text_.underline = node.attribute("underline").as_bool(false);
  text_.wrap = node.attribute("wrap").as_bool(false);

  const std::string hAlign = node.attribute("halign").as_string("left");
  if (hAlign == "left") {
    text_.hAlign = Text::HAlign::Left;
  } else if (hAlign == "center") {
    text_.hAlign = Text::HAlign::Centre;
  } else if (hAlign == "right") {
    text_.hAlign = Text::HAlign::Right;
  }

  const std::string vAlign = node.attribute("valign").as_string("top");
  if (vAlign == "top") {
    text_.vAlign = Text::VAlign::Top;
  } else if (vAlign == "center") {
    text_.vAlign = Text::VAlign::Centre;
  } else if (vAlign == "bottom") {
    text_.vAlign = Text::VAlign::Bottom;
  }

  text_.content = node.text().get();
}

}  // namespace tmx
