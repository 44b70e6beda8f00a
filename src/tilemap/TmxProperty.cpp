#include "tilemap/TmxProperty.h"

#include <cstring>

#include <pugixml.hpp>

#include "tilemap/TmxLog.h"

namespace tmx {

bool Property::getBoolValue() const {
  std::uint8_t firstByte;
  std::memcpy(&firstByte, &value_, 1);
  return firstByte != 0;
}

float Property::getFloatValue() const {
  float value;
  std::memcpy(&value, &value_, sizeof value);
  return value;
}

std::int32_t Property::getIntValue() const {
  std::int32_t value;
  std::memcpy(&value, &value_, sizeof value);
  return value;
}

void Property::parse(const pugi::xml_node& node) {
  if (std::strcmp(node.name(), "property") != 0) {
    logMessage("Node was not a valid property, node will be skipped", LogLevel::Error);
    return;
  }

  name_ = node.attribute("name").as_string();
  const pugi::xml_attribute value = node.attribute("value");
  const std::string type = node.attribute("type").as_string("string");

  if (type == "bool") {
    const bool flag = std::strcmp(value.as_string("false"), "true") == 0;
    value_ = 0;
    std::memcpy(&value_, &flag, sizeof flag);
    type_ = Type::Boolean;
  } else if (type == "int") {
    const std::int32_t number = value.as_int(0);
    std::memcpy(&value_, &number, sizeof number);
    type_ = Type::Int;
  } else if (type == "float") {
    const float number = value.as_float(0.0f);
    std::memcpy(&value_, &number, sizeof number);
    type_ = Type::Float;
  } else if (type == "string") {
    stringValue_ = value.as_string();
    type_ = Type::String;
  } else if (type == "color") {
    colourValue_ = parseColour(value ? value.as_string() : "#FFFFFFFF");
    type_ = Type::Colour;
  } else if (type == "file") {
    // Kept as written: a file property is data for the game, not a path the
    // loader opens, so it is not resolved against the map's folder.
    stringValue_ = value.as_string();
    type_ = Type::File;
  }
}

void parseProperties(const pugi::xml_node& propertiesNode, std::vector<Property>& properties) {
  for (const pugi::xml_node child : propertiesNode.children()) {
    if (child.type() != pugi::node_element) continue;
    properties.emplace_back();
    properties.back().parse(child);
  }
}

Colour parseColour(std::string text) {
  const auto hash = text.rfind('#');
  if (hash != std::string::npos) text.erase(0, hash + 1);

  if (text.size() != 6 && text.size() != 8) {
    logMessage(text + ": not a valid colour string", LogLevel::Error);
    return Colour();
  }

  // Only the leading hexadecimal digits count; a string that starts with
  // anything else reads as nothing and stays opaque black.
  std::uint32_t value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    value = (value << 4) | std::uint32_t(digit);
  }

  const auto byte = [value](int shift) { return std::uint8_t((value >> shift) & 0xFF); };
  return Colour(byte(16), byte(8), byte(0), text.size() == 8 ? byte(24) : std::uint8_t(255));
}

}  // namespace tmx
