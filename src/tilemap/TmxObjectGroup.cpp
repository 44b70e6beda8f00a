#include "tilemap/TmxObjectGroup.h"

#include <cstring>
#include <string>

#include "tilemap/TmxLog.h"

namespace tmx {

void ObjectGroup::parse(const pugi::xml_node& node) {
  if (std::strcmp(node.name(), "objectgroup") != 0) {
    logMessage("Node was not an object group, node will be skipped.", LogLevel::Error);
    return;
  }

  parseLayerAttributes(node);
  const pugi::xml_attribute colour = node.attribute("color");
  if (colour && *colour.value()) m_colour = parseColour(colour.value());
  if (std::strcmp(node.attribute("draworder").as_string(), "index") == 0) m_drawOrder = DrawOrder::Index;

  for (const pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "properties") {
      addProperties(child);
    } else if (name == "object") {
      m_objects.emplace_back();
      m_objects.back().parse(child);
    }
  }
}

}  // namespace tmx
