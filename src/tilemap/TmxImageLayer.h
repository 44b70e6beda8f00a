#pragma once
// A layer that shows one image. The image path is resolved against the map's
// folder when the layer is read.
#include <string>

#include "tilemap/TmxLayer.h"

namespace tmx {

class ImageLayer final : public Layer {
 public:
  explicit ImageLayer(const std::string& workingDirectory) : m_workingDirectory(workingDirectory) {}

  Type getType() const override { return Type::Image; }
  void parse(const pugi::xml_node& node) override;

  const std::string& getImagePath() const { return m_imagePath; }
  const Colour& getTransparencyColour() const { return m_transparencyColour; }
  bool hasTransparency() const { return m_hasTransparency; }
  const Vector2u& getImageSize() const { return m_imageSize; }

 private:
  std::string m_workingDirectory;
  std::string m_imagePath;
  Colour m_transparencyColour;
  bool m_hasTransparency = false;
  Vector2u m_imageSize;
};

}  // namespace tmx
