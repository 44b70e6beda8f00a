#include "tilemap/TmxMap.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <pugixml.hpp>

#include "tilemap/TmxLog.h"
#include "tilemap/TmxPath.h"
#include "tilemap/TmxXmlFile.h"

namespace tmx {
namespace {

// One part of a version string as a decimal integer: leading white space and
// a sign allowed, reading stops at the first non-digit. False without digits
// or outside the 32-bit range.
bool ReadVersionPart(const std::string& text, std::int32_t& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(begin, &end, 10);
  if (end == begin || errno == ERANGE || number < INT32_MIN || number > INT32_MAX) return false;
  value = std::int32_t(number);
  return true;
}

bool ParseVersion(const std::string& text, Version& version) {
  const auto dot = text.find('.');
  if (text.empty() || dot == std::string::npos) return false;
  std::int32_t upper = 0;
  std::int32_t lower = 0;
  if (!ReadVersionPart(text.substr(0, dot), upper) || !ReadVersionPart(text.substr(dot + 1), lower)) return false;
  version = Version(std::uint16_t(upper), std::uint16_t(lower));
  return true;
}

std::string WorkingDirectoryOf(const std::string& path) {
  std::string directory = getFilePath(path);
  std::replace(directory.begin(), directory.end(), '\\', '/');
  if (!directory.empty() && directory.back() == '/') directory.pop_back();
  return directory;
}

}  // namespace

bool Map::reset() {
  orientation_ = Orientation::None;
  renderOrder_ = RenderOrder::None;
  tileCount_ = Vector2u();
  tileSize_ = Vector2u();
  hexSideLength_ = 0.0f;
  staggerAxis_ = StaggerAxis::None;
  staggerIndex_ = StaggerIndex::None;
  backgroundColour_ = Colour();
  workingDirectory_.clear();
  tilesets_.clear();
  layers_.clear();
  properties_.clear();
  return false;
}

FloatRect Map::getBounds() const {
  const std::uint32_t width = tileCount_.x * tileSize_.x;
  const std::uint32_t height = tileCount_.y * tileSize_.y;
  return FloatRect(0.0f, 0.0f, float(width), float(height));
}

bool Map::load(const std::string& path) {
  reset();

  pugi::xml_document document;
  const pugi::xml_parse_result result = loadXmlFile(document, path);
  if (!result) {
    logMessage("Failed opening " + path, LogLevel::Error);
    logMessage(std::string("Reason: ") + result.description(), LogLevel::Error);
    return false;
  }

  workingDirectory_ = WorkingDirectoryOf(path);

  const pugi::xml_node mapNode = document.child("map");
  if (!mapNode) {
    logMessage("Failed opening map: " + path + ", no map data found", LogLevel::Error);
    return reset();
  }
  if (!parseMapAttributes(mapNode)) return reset();

  parseChildren(mapNode);
  checkTileIds();
  return true;
}

bool Map::parseMapAttributes(const pugi::xml_node& mapNode) {
  if (!ParseVersion(mapNode.attribute("version").as_string(), version_)) {
    logMessage("Invalid map version value, map not loaded.", LogLevel::Error);
    return false;
  }

  const std::string orientation = mapNode.attribute("orientation").as_string();
  if (orientation.empty()) {
    logMessage("Missing map orientation attribute, map not loaded.", LogLevel::Error);
    return false;
  }
  if (orientation == "orthogonal") {
    orientation_ = Orientation::Orthogonal;
  } else if (orientation == "isometric") {
    orientation_ = Orientation::Isometric;
  } else if (orientation == "staggered") {
    orientation_ = Orientation::Staggered;
  } else if (orientation == "hexagonal") {
    orientation_ = Orientation::Hexagonal;
  } else {
    logMessage(orientation + " format maps aren't supported yet, sorry! Map not loaded", LogLevel::Error);
    return false;
  }

  const std::string renderOrder = mapNode.attribute("renderorder").as_string();
  if (renderOrder == "right-down") {
    renderOrder_ = RenderOrder::RightDown;
  } else if (renderOrder == "right-up") {
    renderOrder_ = RenderOrder::RightUp;
  } else if (renderOrder == "left-down") {
    renderOrder_ = RenderOrder::LeftDown;
  } else if (renderOrder == "left-up") {
    renderOrder_ = RenderOrder::LeftUp;
  } else if (!renderOrder.empty()) {
    logMessage(renderOrder + ": invalid render order. Map not loaded.", LogLevel::Error);
    return false;
  }

  const std::uint32_t columns = mapNode.attribute("width").as_uint(0);
  const std::uint32_t rows = mapNode.attribute("height").as_uint(0);
  if (columns == 0 || rows == 0) {
    logMessage("Invalid map tile count, map not loaded", LogLevel::Error);
    return false;
  }
  // Every tile layer holds one tile per cell, and compressed layer data is
  // small on disk whatever its size in memory: bound the total up front.
  std::uint64_t tileLayers = 0;
  for (auto layer = mapNode.child("layer"); layer; layer = layer.next_sibling("layer")) ++tileLayers;
  if (std::uint64_t(columns) * rows * std::max<std::uint64_t>(tileLayers, 1) > maxMapTiles) {
    logMessage("Map holds too many tiles, map not loaded", LogLevel::Error);
    return false;
  }
  tileCount_ = Vector2u(columns, rows);

  const std::uint32_t tileWidth = mapNode.attribute("tilewidth").as_uint(0);
  const std::uint32_t tileHeight = mapNode.attribute("tileheight").as_uint(0);
  if (tileWidth == 0 || tileHeight == 0) {
    logMessage("Invalid tile size, map not loaded", LogLevel::Error);
    return false;
  }
  tileSize_ = Vector2u(tileWidth, tileHeight);

  hexSideLength_ = mapNode.attribute("hexsidelength").as_float(0.0f);
  if (orientation_ == Orientation::Hexagonal && !(hexSideLength_ > 0.0f)) {
    logMessage("Invalid he side length found, map not loaded", LogLevel::Error);
    return false;
  }

  const bool staggered = orientation_ == Orientation::Staggered || orientation_ == Orientation::Hexagonal;
  const std::string staggerAxis = mapNode.attribute("staggeraxis").as_string();
  if (staggerAxis == "x") {
    staggerAxis_ = StaggerAxis::X;
  } else if (staggerAxis == "y") {
    staggerAxis_ = StaggerAxis::Y;
  }
  if (staggered && staggerAxis_ == StaggerAxis::None) {
    logMessage("Map missing stagger axis property. Map not loaded.", LogLevel::Error);
    return false;
  }

  const std::string staggerIndex = mapNode.attribute("staggerindex").as_string();
  if (staggerIndex == "odd") {
    staggerIndex_ = StaggerIndex::Odd;
  } else if (staggerIndex == "even") {
    staggerIndex_ = StaggerIndex::Even;
  }
  if (staggered && staggerIndex_ == StaggerIndex::None) {
    logMessage("Map missing stagger index property. Map not loaded.", LogLevel::Error);
    return false;
  }

  const std::string background = mapNode.attribute("backgroundcolor").as_string();
  if (!background.empty()) backgroundColour_ = parseColour(background);
  return true;
}

void Map::parseChildren(const pugi::xml_node& mapNode) {
  // Each layer joins the list before it is parsed, so a layer whose data is
  // refused still holds its place in the document order.
  std::size_t tilesetTiles = 0;
  for (const pugi::xml_node child : mapNode.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "tileset") {
      // A tileset past what the map has left is refused before it builds
      // its records.
      tilesets_.emplace_back(workingDirectory_);
      tilesets_.back().parse(child, std::uint32_t(maxTilesetTiles - tilesetTiles));
      tilesetTiles += tilesets_.back().getTiles().size();
    } else if (name == "layer") {
      layers_.push_back(std::make_unique<TileLayer>(tileCount_.x * tileCount_.y));
      layers_.back()->parse(child);
    } else if (name == "objectgroup") {
      layers_.push_back(std::make_unique<ObjectGroup>());
      layers_.back()->parse(child);
    } else if (name == "imagelayer") {
      layers_.push_back(std::make_unique<ImageLayer>(workingDirectory_));
      layers_.back()->parse(child);
    } else if (name == "properties") {
      parseProperties(child, properties_);
    }
  }
}

void Map::checkTileIds() const {
  std::uint32_t lastGID = 0;
  for (const Tileset& tileset : tilesets_) {
    if (tileset.getFirstGID() != 0 && tileset.getTileCount() != 0) lastGID = std::max(lastGID, tileset.getLastGID());
  }
  for (const auto& layer : layers_) {
    if (layer->getType() != Layer::Type::Tile) continue;
    const auto& tiles = static_cast<const TileLayer&>(*layer).getTiles();
    const bool outside = std::any_of(tiles.begin(), tiles.end(), [lastGID](const TileLayer::Tile& tile) {
      return tile.ID > lastGID;
    });
    if (outside) {
      logMessage("Layer " + layer->getName() + " uses tile ids that no tile set holds", LogLevel::Warning);
    }
  }
}

}  // namespace tmx
