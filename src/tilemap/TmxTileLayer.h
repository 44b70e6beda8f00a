#pragma once
// A tile layer: one tile per map cell, row by row from the top-left cell, read
// from base64 (optionally zlib-compressed), CSV or one element per tile.
#include <cstdint>
#include <vector>

#include "tilemap/TmxLayer.h"

namespace tmx {

// The most tiles a map may hold over all its tile layers together. Data is
// zlib-compressed, so a small file could otherwise claim any amount of memory.
inline constexpr std::uint32_t maxMapTiles = 1u << 25;

class TileLayer final : public Layer {
 public:
  struct Tile {
    std::uint32_t ID = 0;       // the GID without its four flag bits
    std::uint8_t flipFlags = 0; // the GID's bits 31..28 as bits 3..0
  };

  // tileCount is the number of map cells the layer is expected to cover.
  explicit TileLayer(std::uint32_t tileCount);

  Type getType() const override { return Type::Tile; }
  void parse(const pugi::xml_node& node) override;

  const std::vector<Tile>& getTiles() const { return tiles_; }
  std::uint32_t getTileCount() const { return tileCount_; }

 private:
  void parseBase64(const pugi::xml_node& dataNode);
  void parseCSV(const pugi::xml_node& dataNode);
  void parseUnencoded(const pugi::xml_node& dataNode);
  void createTiles(const std::vector<std::uint32_t>& gids);
  // Layer data of the wrong length still loads; this says so in the log.
  void warnDataLength(std::uint64_t found, std::uint64_t expected, const char* unit) const;

  std::vector<Tile> tiles_;
  std::uint32_t tileCount_;
  bool cellsFilled_ = false;  // base64 data has given one tile per cell
};

}  // namespace tmx
