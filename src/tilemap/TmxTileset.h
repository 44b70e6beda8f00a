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

#include "tilemap/TmxXmlNode.h"

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

  explicit Tileset(const std::string& workingDirectory) : workingDirectory_(workingDirectory) {}

  // Fills the tileset from a "tileset" element, reading the external file it
  // names if any. A skipped tileset is left with first GID 0. A tileset that
  // would hold more than tileBudget tile records (what the map has left) is
  // skipped before any record is made. Without "tilecount" or "columns" (as
  // older editors wrote), they follow from the image: its "width" and
  // "height", or its PNG header when it has none.
  void parse(pugi::xml_node node, std::uint32_t tileBudget = maxTilesetTiles);

  std::uint32_t getFirstGID() const { return firstGID_; }
  // First GID + tile count - 1, in unsigned arithmetic.
  std::uint32_t getLastGID() const { return firstGID_ + tileCount_ - 1; }
  const std::string& getName() const { return name_; }
  const Vector2u& getTileSize() const { return tileSize_; }
  std::uint32_t getSpacing() const { return spacing_; }
  std::uint32_t getMargin() const { return margin_; }
  std::uint32_t getTileCount() const { return tileCount_; }
  std::uint32_t getColumnCount() const { return columnCount_; }
  const Vector2i& getTileOffset() const { return tileOffset_; }
  const std::vector<Property>& getProperties() const { return properties_; }
  const std::string getImagePath() const { return imagePath_; }
  const Colour& getTransparencyColour() const { return transparencyColour_; }
  bool hasTransparency() const { return hasTransparency_; }
  const std::vector<Terrain>& getTerrainTypes() const { return terrainTypes_; }
  const std::vector<Tile>& getTiles() const { return tiles_; }

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

  std::string workingDirectory_;
  std::uint32_t firstGID_ = 0;
  std::string name_;
  Vector2u tileSize_;
  std::uint32_t spacing_ = 0;
  std::uint32_t margin_ = 0;
  std::uint32_t tileCount_ = 0;
  std::uint32_t columnCount_ = 0;
  Vector2i tileOffset_;
  std::vector<Property> properties_;
  std::string imagePath_;
  Colour transparencyColour_{0, 0, 0, 0};
  bool hasTransparency_ = false;
  std::vector<Terrain> terrainTypes_;
  std::vector<Tile> tiles_;
};

}  // namespace tmx
