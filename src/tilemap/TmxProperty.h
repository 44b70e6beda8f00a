#pragma once
// Typed properties of maps, layers, tilesets, tiles and objects, and the colour
// strings the format writes as "#RRGGBB" or "#AARRGGBB".
#include <cstdint>
#include <string>
#include <vector>

#include "tilemap/TmxXmlNode.h"

#include "tilemap/TmxTypes.h"

namespace tmx {

class Property {
 public:
  enum class Type : std::int32_t { Boolean = 0, Float = 1, Int = 2, String = 3, Colour = 4, File = 5, Undef = 6 };

  Property() = default;

  // Fills the property from a "property" element; any other element is logged
  // and leaves the property as it was.
  void parse(const pugi::xml_node& node);

  // The value getters do not check the type: ask for the one getType() names.
  const std::string& getName() const { return name_; }
  Type getType() const { return type_; }
  bool getBoolValue() const;
  float getFloatValue() const;
  std::int32_t getIntValue() const;
  const std::string& getStringValue() const { return stringValue_; }
  const std::string& getFileValue() const { return stringValue_; }
  const Colour& getColourValue() const { return colourValue_; }

 private:
  // One slot shared by the bool, float and int values, kept as raw bytes so
  // that reading it under another type is well defined.
  std::uint32_t value_ = 0;
  std::string stringValue_;
  std::string name_;
  Colour colourValue_;
  Type type_ = Type::Undef;
};

// Appends one property per child element of a "properties" element, each
// parsed in turn; children that are not "property" elements stay in the list
// as Undef properties (the property parser logs them).
void parseProperties(const pugi::xml_node& propertiesNode, std::vector<Property>& properties);

// Reads "RRGGBB" or "AARRGGBB", optionally after a "#"; an invalid length is
// logged and gives opaque black.
Colour parseColour(std::string text);

}  // namespace tmx
