#include "tilemap/TmxImageLayer.h"

#include <cstring>

#include <pugixml.hpp>

#include "tilemap/TmxLog.h"
#include "tilemap/TmxPath.h"

namespace tmx {

void ImageLayer::parse(const pugi::xml_node& node) {
  if (std::strcmp(node.name(), "imagelayer") != 0) {
    logMessage("Node not an image layer, node skipped", LogLevel::Error);
    return;
  }

  parseLayerAttributes(node);

  for (const pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "image") {
      const std::string source = child.attribute("source").as_string();
      if (source.empty()) {
        logMessage("Image Layer has missing source property", LogLevel::Warning);
        return;
      }
      const pugi::xml_attribute width = child.attribute("width");
      const pugi::xml_attribute height = child.attribute("height");
      if (width && height) imageSize_ = Vector2u(width.as_uint(0), height.as_uint(0));
      imagePath_ = resolveFilePath(source, workingDirectory_);
      if (const pugi::xml_attribute trans = child.attribute("trans")) {
        transparencyColour_ = parseColour(trans.value());
        hasTransparency_ = true;
      }
    } else if (name == "properties") {
      addProperties(child);
    }
  }
}

}  // namespace tmx
