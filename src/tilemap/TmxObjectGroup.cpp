#include "tilemap/TmxObjectGroup.h"

#include <cstring>
#include <string>

#include <pugixml.hpp>

#include "tilemap/TmxLog.h"

namespace tmx {

void ObjectGroup::parse(const pugi::xml_node& node) {
  if (std::strcmp(node.name(), "objectgroup") != 0) {
    logMessage("Node was not an object group, node will be skipped.", LogLevel::Error);
    return;
  }

  parseLayerAttributes(node);
  const pugi::xml_attribute colour = node.attribute("color");
  if (colour && *colour.value()) colour_ = parseColour(colour.value());
  if (std::strcmp(node.attribute("draworder").as_string(), "index") == 0) drawOrder_ = DrawOrder::Index;

  for (const pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "properties") {
      addProperties(child);
    } else if (name == "object") {
      objects_.emplace_back();
      objects_.back().parse(child);
    }
  }
}

}  // namespace tmx
