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

  const Version& getVersion() const { return m_version; }
  Orientation getOrientation() const { return m_orientation; }
  RenderOrder getRenderOrder() const { return m_renderOrder; }
  const Vector2u& getTileCount() const { return m_tileCount; }
  const Vector2u& getTileSize() const { return m_tileSize; }
  // (0, 0, columns x tile width, rows x tile height), the products taken in
  // 32-bit unsigned arithmetic.
  FloatRect getBounds() const;
  float getHexSideLength() const { return m_hexSideLength; }
  StaggerAxis getStaggerAxis() const { return m_staggerAxis; }
  StaggerIndex getStaggerIndex() const { return m_staggerIndex; }
  const Colour& getBackgroundColour() const { return m_backgroundColour; }
  const std::vector<Tileset>& getTilesets() const { return m_tilesets; }
  const std::vector<std::unique_ptr<Layer>>& getLayers() const { return m_layers; }
  const std::vector<Property>& getProperties() const { return m_properties; }

 private:
  // Refusals return false after logging; the caller resets.
  bool parseMapAttributes(const pugi::xml_node& mapNode);
  void parseChildren(const pugi::xml_node& mapNode);
  // Layer data may name GIDs no tileset owns; they load, with a warning.
  void checkTileIds() const;

  // Declared in reverse order of destruction: properties go first, then the
  // layers, then the tilesets and the working directory.
  Version m_version;
  Orientation m_orientation = Orientation::None;
  RenderOrder m_renderOrder = RenderOrder::None;
  Vector2u m_tileCount;
  Vector2u m_tileSize;
  float m_hexSideLength = 0.0f;
  StaggerAxis m_staggerAxis = StaggerAxis::None;
  StaggerIndex m_staggerIndex = StaggerIndex::None;
  Colour m_backgroundColour;
  std::string m_workingDirectory;
  std::vector<Tileset> m_tilesets;
  std::vector<std::unique_ptr<Layer>> m_layers;
  std::vector<Property> m_properties;
};

}  // namespace tmx
