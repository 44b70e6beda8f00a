#pragma once
// A tileset: the range of global tile IDs (GIDs) it owns, the grid of its
// image or, for a collection of images, one image per tile, with per-tile
// data. Written inline in a map or in an external tsx file; both read alike.
// File names inside it are resolved against the folder of the file that
// holds it. Plain data, copied by value.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "tilemap/TmxObjectGroup.h"
#include "tilemap/TmxProperty.h"
#include "tilemap/TmxTypes.h"

namespace tmx {

// GIDs keep their four top bits for flip flags.
inline constexpr std::uint32_t maxGID = 0x0FFFFFFFu;
// The most tile records one tileset, and all the tilesets of a map together,
// may hold: a bare count in a small file must not decide how much memory the
// loader takes.
inline constexpr std::uint32_t maxTilesetTiles = 1u << 18;

class Tileset {
 public:
  struct Terrain {
    std::string name;
    std::int32_t tileID = -1;
    std::vector<Property> properties;
  };

  struct Tile {
    struct Animation {
      struct Frame {
        std::uint32_t tileID = 0;
        std::uint32_t duration = 0;
      };
      std::vector<Frame> frames;
    };

    std::uint32_t ID = 0;  // local to the tileset: GID minus first GID
    std::array<std::int32_t, 4> terrainIndices{};  // -1 = no terrain at that corner
    std::uint32_t probability = 100;
    Animation animation;
    std::vector<Property> properties;
    ObjectGroup objectGroup;
    std::string imagePath;
    Vector2u imageSize;
    Vector2u imagePosition;
    std::string type;
  };

  explicit Tileset(const std::string& workingDirectory) : m_workingDirectory(workingDirectory) {}

  // Fills the tileset from a "tileset" element, reading the external file it
  // names if any. A skipped tileset is left with first GID 0. A tileset that
  // would hold more than tileBudget tile records (what the map has left) is
  // skipped before any record is made. Without "tilecount" or "columns" (as
  // older editors wrote), they follow from the image: its "width" and
  // "height", or its PNG header when it has none.
  void parse(pugi::xml_node node, std::uint32_t tileBudget = maxTilesetTiles);

  std::uint32_t getFirstGID() const { return m_firstGID; }
  // First GID + tile count - 1, in unsigned arithmetic.
  std::uint32_t getLastGID() const { return m_firstGID + m_tileCount - 1; }
  const std::string& getName() const { return m_name; }
  const Vector2u& getTileSize() const { return m_tileSize; }
  std::uint32_t getSpacing() const { return m_spacing; }
  std::uint32_t getMargin() const { return m_margin; }
  std::uint32_t getTileCount() const { return m_tileCount; }
  std::uint32_t getColumnCount() const { return m_columnCount; }
  const Vector2i& getTileOffset() const { return m_tileOffset; }
  const std::vector<Property>& getProperties() const { return m_properties; }
  const std::string getImagePath() const { return m_imagePath; }
  const Colour& getTransparencyColour() const { return m_transparencyColour; }
  bool hasTransparency() const { return m_hasTransparency; }
  const std::vector<Terrain>& getTerrainTypes() const { return m_terrainTypes; }
  const std::vector<Tile>& getTiles() const { return m_tiles; }

 private:
  void reset();
  void parseTerrainTypes(const pugi::xml_node& node);
  void parseTile(const pugi::xml_node& node);
  // The columns and rows of whole tiles in the image; false when the
  // tileset has no image or its size cannot be learnt.
  bool imageGrid(const pugi::xml_node& node, Vector2u& grid) const;
  // Which IDs below the tile count a tile element described.
  std::vector<bool> describedTiles() const;
  std::size_t missingTileCount() const;
  // Adds a default record for every ID below the tile count that no tile
  // element described, in increasing order.
  void createMissingTiles();
  Tile makeTile(std::uint32_t id) const;

  std::string m_workingDirectory;
  std::uint32_t m_firstGID = 0;
  std::string m_name;
  Vector2u m_tileSize;
  std::uint32_t m_spacing = 0;
  std::uint32_t m_margin = 0;
  std::uint32_t m_tileCount = 0;
  std::uint32_t m_columnCount = 0;
  Vector2i m_tileOffset;
  std::vector<Property> m_properties;
  std::string m_imagePath;
  Colour m_transparencyColour{0, 0, 0, 0};
  bool m_hasTransparency = false;
  std::vector<Terrain> m_terrainTypes;
  std::vector<Tile> m_tiles;
};

}  // namespace tmx
