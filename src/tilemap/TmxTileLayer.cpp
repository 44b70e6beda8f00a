#include "tilemap/TmxTileLayer.h"

#include <climits>
#include <cstring>
#include <string>

#include <pugixml.hpp>

#include "tilemap/TmxEncoding.h"
#include "tilemap/TmxLog.h"

namespace tmx {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Base64 payloads sit between line breaks and indentation; only the first
// run of non-space characters is data.
std::string FirstWord(const char* text) {
  while (IsSpace(*text)) ++text;
  const char* end = text;
  while (*end && !IsSpace(*end)) ++end;
  return std::string(text, end);
}

// Room to reserve ahead of reading: a count no map may have gets none, and
// its data is read as it comes or refused.
std::size_t ReserveFor(std::uint32_t tileCount) { return tileCount <= maxMapTiles ? tileCount : 0; }

}  // namespace

TileLayer::TileLayer(std::uint32_t tileCount) : tileCount_(tileCount) { tiles_.reserve(ReserveFor(tileCount)); }

void TileLayer::parse(const pugi::xml_node& node) {
  if (std::strcmp(node.name(), "layer") != 0) {
    logMessage("node not a layer node, skipped parsing", LogLevel::Error);
    return;
  }

  parseLayerAttributes(node);

  for (const pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "data") {
      const std::string encoding = child.attribute("encoding").as_string();
      if (encoding == "base64") {
        parseBase64(child);
      } else if (encoding == "csv") {
        parseCSV(child);
      } else {
        parseUnencoded(child);
      }
    } else if (name == "properties") {
      addProperties(child);
    }
  }
}

void TileLayer::parseBase64(const pugi::xml_node& dataNode) {
  std::string bytes = FirstWord(dataNode.child_value());
  if (bytes.empty()) {
    logMessage("Layer " + getName() + " has no layer data. Layer skipped.", LogLevel::Error);
    return;
  }
  // Base64 data always gives one tile per cell, however short: read once per
  // layer, so that the map's tile bound holds whatever the number of data
  // elements.
  if (cellsFilled_) {
    logMessage("Layer " + getName() + " has base64 data for its cells already. Data skipped.", LogLevel::Error);
    return;
  }
  if (tileCount_ > maxMapTiles || bytes.size() > std::size_t(INT_MAX)) {
    logMessage("Layer " + getName() + " is too large. Layer skipped.", LogLevel::Error);
    return;
  }
  bytes = decodeBase64(bytes);

  const std::size_t expectedSize = std::size_t(tileCount_) * 4;
  std::vector<unsigned char> inflated;
  const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t size = bytes.size();
  std::uint64_t length = size;
  if (dataNode.attribute("compression")) {
    // Whatever the attribute names, the data is inflated as zlib; gzip data
    // fails there with a hint in the log.
    if (!decompressZlib(bytes.data(), inflated, std::int32_t(bytes.size()), std::int32_t(expectedSize), &length)) {
      return;
    }
    std::string().swap(bytes);
    data = inflated.data();
    size = inflated.size();
  }
  if (length != expectedSize) warnDataLength(length, expectedSize, "bytes");

  // Exactly one GID per cell: missing bytes read as 0 (empty cells), extra
  // bytes are ignored.
  std::vector<std::uint32_t> gids(tileCount_);
  for (std::size_t index = 0; index < expectedSize && index < size; ++index) {
    gids[index / 4] |= std::uint32_t(data[index]) << (8 * (index % 4));
  }
  std::string().swap(bytes);
  std::vector<unsigned char>().swap(inflated);
  createTiles(gids);
  cellsFilled_ = true;
}

void TileLayer::parseCSV(const pugi::xml_node& dataNode) {
  const char* p = dataNode.child_value();
  if (!*p) {
    logMessage("Layer " + getName() + " has no layer data. Layer skipped.", LogLevel::Error);
    return;
  }

  std::vector<std::uint32_t> gids;
  gids.reserve(ReserveFor(tileCount_));
  for (;;) {
    while (IsSpace(*p)) ++p;
    if (!IsDigit(*p)) break;
    std::uint64_t value = 0;
    while (IsDigit(*p) && value <= UINT32_MAX) value = value * 10 + std::uint64_t(*p++ - '0');
    // A number too large for a GID cannot be read, and ends the data.
    if (value > UINT32_MAX) break;
    gids.push_back(std::uint32_t(value));
    if (*p == ',') ++p;
  }
  if (gids.size() != tileCount_) warnDataLength(gids.size(), tileCount_, "tiles");
  createTiles(gids);
}

void TileLayer::parseUnencoded(const pugi::xml_node& dataNode) {
  std::vector<std::uint32_t> gids;
  gids.reserve(ReserveFor(tileCount_));
  for (const pugi::xml_node tile : dataNode.children("tile")) gids.push_back(tile.attribute("gid").as_uint(0));
  if (gids.size() != tileCount_) warnDataLength(gids.size(), tileCount_, "tiles");
  createTiles(gids);
}

void TileLayer::createTiles(const std::vector<std::uint32_t>& gids) {
  tiles_.reserve(tiles_.size() + gids.size());
  for (const std::uint32_t gid : gids) tiles_.push_back(Tile{gid & 0x0FFFFFFFu, std::uint8_t(gid >> 28)});
}

void TileLayer::warnDataLength(std::uint64_t found, std::uint64_t expected, const char* unit) const {
  // Past the counting bound the true length is unknown, only its bound.
  const std::string amount =
      found > maxCountedLength ? "more than " + std::to_string(maxCountedLength) : std::to_string(found);
  logMessage("Layer " + getName() + " data holds " + amount + " " + unit + " where " + std::to_string(expected) +
                 " were expected.",
             LogLevel::Warning);
}

}  // namespace tmx
