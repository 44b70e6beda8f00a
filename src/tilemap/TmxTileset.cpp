#include "tilemap/TmxTileset.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include <pugixml.hpp>

#include "tilemap/TmxImageSize.h"
#include "tilemap/TmxLog.h"
#include "tilemap/TmxPath.h"
#include "tilemap/TmxXmlFile.h"

namespace tmx {
namespace {

const char* const kInvalidTileCount = "Invalid tile count found in tile set node. Node will be skipped.";
const char* const kMapFull = "Map holds too many tile set tiles, tile set will be skipped";

// Whole tiles that fit along one side of the image: the first starts at the
// margin, each next one after the spacing.
std::uint32_t TilesAlong(std::uint32_t imageSide, std::uint32_t tileSide, std::uint32_t margin, std::uint32_t spacing) {
  const std::uint64_t used = std::uint64_t(margin) + tileSide;
  if (imageSide < used) return 0;
  return std::uint32_t(1 + (imageSide - used) / (std::uint64_t(tileSide) + spacing));
}

// One corner of a "terrain" list: its number, or -1 for an empty field or
// one that holds no number.
std::int32_t TerrainIndex(const char* begin, const char* end) {
  std::int32_t value = -1;
  if (std::from_chars(begin, end, value).ec != std::errc()) return -1;
  return value;
}

}  // namespace

void Tileset::parse(pugi::xml_node node, std::uint32_t tileBudget) {
  if (std::strcmp(node.name(), "tileset") != 0) {
    logMessage(std::string(node.name()) + ": not a tileset node! Node will be skipped.", LogLevel::Warning);
    return;
  }

  // A GID past the flag bits could never be written in layer data.
  const std::int32_t firstGID = node.attribute("firstgid").as_int(0);
  if (firstGID <= 0 || std::uint32_t(firstGID) > maxGID) {
    logMessage("Invalid first GID in tileset. Tileset node skipped.", LogLevel::Warning);
    return;
  }
  firstGID_ = std::uint32_t(firstGID);

  // Lives until parse returns: node may point into it.
  pugi::xml_document externalDocument;
  if (const pugi::xml_attribute source = node.attribute("source")) {
    const std::string path = resolveFilePath(source.value(), workingDirectory_);
    const auto slash = path.rfind('/');
    workingDirectory_ = slash == std::string::npos ? std::string() : path.substr(0, slash);

    if (!loadXmlFile(externalDocument, path)) {
      logMessage("Failed opening tsx file for tile set, tile set will be skipped", LogLevel::Error);
      reset();
      return;
    }
    node = externalDocument.child("tileset");
    if (!node) {
      logMessage("tsx file does not contain a tile set node, tile set will be skipped", LogLevel::Error);
      reset();
      return;
    }
  }

  name_ = node.attribute("name").as_string();
  const std::int32_t tileWidth = node.attribute("tilewidth").as_int(0);
  const std::int32_t tileHeight = node.attribute("tileheight").as_int(0);
  if (tileWidth <= 0 || tileHeight <= 0) {
    logMessage("Invalid tile size found in tile set node. Node will be skipped.", LogLevel::Error);
    reset();
    return;
  }
  tileSize_ = Vector2u(std::uint32_t(tileWidth), std::uint32_t(tileHeight));

  spacing_ = std::uint32_t(node.attribute("spacing").as_int(0));
  margin_ = std::uint32_t(node.attribute("margin").as_int(0));
  const pugi::xml_attribute columns = node.attribute("columns");
  const pugi::xml_attribute count = node.attribute("tilecount");
  columnCount_ = std::uint32_t(columns.as_int(0));
  std::int64_t tileCount = count.as_int(0);
  // Older editors wrote neither attribute: the grid of the image gives them.
  if (!columns || !count) {
    Vector2u grid;
    if (imageGrid(node, grid)) {
      if (!columns) columnCount_ = grid.x;
      if (!count) tileCount = std::int64_t(grid.x) * grid.y;
    }
  }
  // Every ID below the count gets a record, and the range must stay within
  // the GIDs layer data can name. The map's budget is checked before any
  // record is made.
  if (tileCount < 0 || tileCount > maxTilesetTiles || std::uint64_t(firstGID_) + std::uint64_t(tileCount) - 1 > maxGID) {
    logMessage(kInvalidTileCount, LogLevel::Error);
    reset();
    return;
  }
  if (tileCount > tileBudget) {
    logMessage(kMapFull, LogLevel::Error);
    reset();
    return;
  }
  tileCount_ = std::uint32_t(tileCount);

  for (const pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "image") {
      const std::string source = child.attribute("source").as_string();
      if (source.empty()) {
        logMessage("Tileset image node has missing source property, tile set not loaded", LogLevel::Error);
        reset();
        return;
      }
      imagePath_ = resolveFilePath(source, workingDirectory_);
      if (const pugi::xml_attribute trans = child.attribute("trans")) {
        transparencyColour_ = parseColour(trans.value());
        hasTransparency_ = true;
      }
    } else if (name == "tileoffset") {
      tileOffset_ = Vector2i(child.attribute("x").as_int(0), child.attribute("y").as_int(0));
    } else if (name == "properties") {
      parseProperties(child, properties_);
    } else if (name == "terraintypes") {
      parseTerrainTypes(child);
    } else if (name == "tile") {
      if (tiles_.size() >= std::min(maxTilesetTiles, tileBudget)) {
        logMessage(tiles_.size() == maxTilesetTiles ? kInvalidTileCount : kMapFull, LogLevel::Error);
        reset();
        return;
      }
      parseTile(child);
    }
  }

  if (tileCount_ == 0 || tiles_.size() == tileCount_) return;
  if (tiles_.size() + missingTileCount() > tileBudget) {
    logMessage(kMapFull, LogLevel::Error);
    reset();
    return;
  }
  createMissingTiles();
}

bool Tileset::imageGrid(const pugi::xml_node& node, Vector2u& grid) const {
  // The last image counts, as it does when the children are read.
  pugi::xml_node image;
  for (const pugi::xml_node child : node.children("image")) image = child;
  const std::string source = image.attribute("source").as_string();
  if (source.empty()) return false;
  Vector2u size(image.attribute("width").as_uint(0), image.attribute("height").as_uint(0));
  if (size.x == 0 || size.y == 0) {
    const std::string path = resolveFilePath(source, workingDirectory_);
    if (!readPngSize(path, size)) {
      logMessage("Tile set " + name_ + " gives no tile count, and the size of its image " + path +
                     " cannot be read",
                 LogLevel::Warning);
      return false;
    }
  }
  grid = Vector2u(TilesAlong(size.x, tileSize_.x, margin_, spacing_),
                  TilesAlong(size.y, tileSize_.y, margin_, spacing_));
  return true;
}

void Tileset::reset() {
  firstGID_ = 0;
  name_.clear();
  imagePath_.clear();
  tileSize_ = Vector2u();
  spacing_ = 0;
  margin_ = 0;
  tileCount_ = 0;
  columnCount_ = 0;
  tileOffset_ = Vector2i();
  properties_.clear();
  terrainTypes_.clear();
  tiles_.clear();
  transparencyColour_ = Colour(0, 0, 0, 0);
  hasTransparency_ = false;
}

void Tileset::parseTerrainTypes(const pugi::xml_node& node) {
  for (const pugi::xml_node child : node.children("terrain")) {
    Terrain& terrain = terrainTypes_.emplace_back();
    terrain.name = child.attribute("name").as_string();
    terrain.tileID = child.attribute("tile").as_int(0);
    for (const pugi::xml_node property : child.child("properties").children("property")) {
      terrain.properties.emplace_back();
      terrain.properties.back().parse(property);
    }
  }
}

Tileset::Tile Tileset::makeTile(std::uint32_t id) const {
  Tile tile;
  tile.ID = id;
  tile.imagePath = imagePath_;
  tile.imageSize = tileSize_;
  if (columnCount_ != 0) {
    tile.imagePosition = Vector2u(tileSize_.x * (id % columnCount_), tileSize_.y * (id / columnCount_));
  }
  return tile;
}

void Tileset::parseTile(const pugi::xml_node& node) {
  Tile tile = makeTile(std::uint32_t(node.attribute("id").as_int(0)));

  if (const pugi::xml_attribute terrain = node.attribute("terrain")) {
    // Fields are split at commas; the first four fill the corners in order.
    const char* field = terrain.value();
    for (std::size_t corner = 0; corner < tile.terrainIndices.size(); ++corner) {
      const char* end = std::strchr(field, ',');
      if (!end) end = field + std::strlen(field);
      tile.terrainIndices[corner] = TerrainIndex(field, end);
      if (*end != ',') break;
      field = end + 1;
    }
  }

  const pugi::xml_attribute probability = node.attribute("probability");
  tile.probability = std::uint32_t(probability && *probability.value() ? probability.as_int() : 100);
  tile.type = node.attribute("type").as_string();

  for (const pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "properties") {
      parseProperties(child, tile.properties);
    } else if (name == "objectgroup") {
      tile.objectGroup.parse(child);
    } else if (name == "image") {
      const std::string source = child.attribute("source").as_string();
      if (source.empty()) {
        logMessage("Tile image path missing", LogLevel::Warning);
        continue;
      }
      tile.imagePath = resolveFilePath(source, workingDirectory_);
      tile.imagePosition = Vector2u();
      // A tile has no colour key of its own: its image's key is the set's.
      if (const pugi::xml_attribute trans = child.attribute("trans")) {
        transparencyColour_ = parseColour(trans.value());
        hasTransparency_ = true;
      }
      if (const pugi::xml_attribute width = child.attribute("width")) tile.imageSize.x = width.as_uint(0);
      if (const pugi::xml_attribute height = child.attribute("height")) tile.imageSize.y = height.as_uint(0);
    } else if (name == "animation") {
      for (const pugi::xml_node frame : child.children()) {
        if (frame.type() != pugi::node_element) continue;
        tile.animation.frames.push_back(Tile::Animation::Frame{std::uint32_t(frame.attribute("tileid").as_int(0)),
                                                               std::uint32_t(frame.attribute("duration").as_int(0))});
      }
    }
  }

  tiles_.push_back(std::move(tile));
}

std::vector<bool> Tileset::describedTiles() const {
  std::vector<bool> present(tileCount_, false);
  for (const Tile& tile : tiles_) {
    if (tile.ID < tileCount_) present[tile.ID] = true;
  }
  return present;
}

std::size_t Tileset::missingTileCount() const {
  const std::vector<bool> present = describedTiles();
  return std::size_t(std::count(present.begin(), present.end(), false));
}

void Tileset::createMissingTiles() {
  const std::vector<bool> present = describedTiles();
  for (std::uint32_t id = 0; id < tileCount_; ++id) {
    if (!present[id]) tiles_.push_back(makeTile(id));
  }
}

}  // namespace tmx
