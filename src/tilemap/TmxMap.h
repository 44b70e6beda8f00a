#pragma once
// The TMX document model: one map with its tilesets and layers, read from a
// TMX file by Map::load and then only read through the getters.
//
// Rules of the loader: it never throws; bad input is reported through
// tmx::logMessage with a fixed English sentence, and the element it concerns
// is skipped or left at its defaults. Only Map::load gives a result, and a
// refused map is left empty. Element, attribute and keyword names are matched
// exactly and case-sensitively. File names use "/" only and are resolved
// against the folder of the file that names them. Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tilemap/TmxImageLayer.h"
#include "tilemap/TmxLayer.h"
#include "tilemap/TmxObjectGroup.h"
#include "tilemap/TmxProperty.h"
#include "tilemap/TmxTileLayer.h"
#include "tilemap/TmxTileset.h"
#include "tilemap/TmxTypes.h"

namespace tmx {

class Map {
 public:
  Map() = default;
  Map(const Map&) = delete;
  Map& operator=(const Map&) = delete;

  // Reads the map file at path (handed to the XML reader as it is). False
  // after a logged refusal, with the map left empty.
  bool load(const std::string& path);
  // Empties the model (the version stays); always false, so that a refusal
  // can end with "return reset();".
  bool reset();

  const Version& getVersion() const { return version_; }
  Orientation getOrientation() const { return orientation_; }
  RenderOrder getRenderOrder() const { return renderOrder_; }
  const Vector2u& getTileCount() const { return tileCount_; }
  const Vector2u& getTileSize() const { return tileSize_; }
  // (0, 0, columns x tile width, rows x tile height), the products taken in
  // 32-bit unsigned arithmetic.
  FloatRect getBounds() const;
  float getHexSideLength() const { return hexSideLength_; }
  StaggerAxis getStaggerAxis() const { return staggerAxis_; }
  StaggerIndex getStaggerIndex() const { return staggerIndex_; }
  const Colour& getBackgroundColour() const { return backgroundColour_; }
  const std::vector<Tileset>& getTilesets() const { return tilesets_; }
  const std::vector<std::unique_ptr<Layer>>& getLayers() const { return layers_; }
  const std::vector<Property>& getProperties() const { return properties_; }

 private:
  // Refusals return false after logging; the caller resets.
  bool parseMapAttributes(const pugi::xml_node& mapNode);
  void parseChildren(const pugi::xml_node& mapNode);
  // Layer data may name GIDs no tileset owns; they load, with a warning.
  void checkTileIds() const;

  // Declared in reverse order of destruction: properties go first, then the
  // layers, then the tilesets and the working directory.
  Version version_;
  Orientation orientation_ = Orientation::None;
  RenderOrder renderOrder_ = RenderOrder::None;
  Vector2u tileCount_;
  Vector2u tileSize_;
  float hexSideLength_ = 0.0f;
  StaggerAxis staggerAxis_ = StaggerAxis::None;
  StaggerIndex staggerIndex_ = StaggerIndex::None;
  Colour backgroundColour_;
  std::string workingDirectory_;
  std::vector<Tileset> tilesets_;
  std::vector<std::unique_ptr<Layer>> layers_;
  std::vector<Property> properties_;
};

}  // namespace tmx
