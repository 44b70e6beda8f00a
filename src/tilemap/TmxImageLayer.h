#pragma once
// A layer that shows one image. The image path is resolved against the map's
// folder when the layer is read.
#include <string>

#include "tilemap/TmxLayer.h"

namespace tmx {

class ImageLayer final : public Layer {
 public:
  explicit ImageLayer(const std::string& workingDirectory) : workingDirectory_(workingDirectory) {}

  Type getType() const override { return Type::Image; }
  void parse(const pugi::xml_node& node) override;

  const std::string& getImagePath() const { return imagePath_; }
  const Colour& getTransparencyColour() const { return transparencyColour_; }
  bool hasTransparency() const { return hasTransparency_; }
  const Vector2u& getImageSize() const { return imageSize_; }

 private:
  std::string workingDirectory_;
  std::string imagePath_;
  Colour transparencyColour_;
  bool hasTransparency_ = false;
  Vector2u imageSize_;
};

}  // namespace tmx
