#include "tilemap/TmxLayer.h"

#include <pugixml.hpp>

namespace tmx {

void Layer::parseLayerAttributes(const pugi::xml_node& node) {
  setName(node.attribute("name").as_string());
  setOpacity(node.attribute("opacity").as_float(1.0f));
  // An empty "visible" hides the layer: only a missing attribute means shown.
  setVisible(node.attribute("visible").as_bool(true));
  setOffset(node.attribute("offsetx").as_int(0), node.attribute("offsety").as_int(0));
}

void Layer::addProperty(const pugi::xml_node& node) {
  properties_.emplace_back();
  properties_.back().parse(node);
}

void Layer::addProperties(const pugi::xml_node& propertiesNode) {
  for (const pugi::xml_node child : propertiesNode.children()) {
    if (child.type() == pugi::node_element) addProperty(child);
  }
}

}  // namespace tmx
