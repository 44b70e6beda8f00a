#pragma once
// Writes TMX maps and tilesets for the tile map tests, following the public
// TMX format: inline and external tilesets (a tileset image cut into a grid,
// or a collection of images), tile layers as CSV, base64 or base64 + zlib,
// object groups with polylines and polygons.
#include <cstdint>
#include <string>
#include <vector>

#include "tilemap/TmxTestSupport.h"

namespace maptest {

enum class Encoding { Csv, Base64, Base64Zlib };

struct CollectionImage {
  unsigned id;
  std::string source;
  unsigned width, height;
};

inline std::string ImageTileset(unsigned firstGid, const std::string& source, unsigned imageWidth,
                                unsigned imageHeight, unsigned tileWidth, unsigned tileHeight,
                                unsigned spacing = 0, unsigned margin = 0) {
  const unsigned columns = (imageWidth - 2 * margin + spacing) / (tileWidth + spacing);
  const unsigned rows = (imageHeight - 2 * margin + spacing) / (tileHeight + spacing);
  return "<tileset firstgid=\"" + std::to_string(firstGid) + "\" name=\"grid\" tilewidth=\"" +
         std::to_string(tileWidth) + "\" tileheight=\"" + std::to_string(tileHeight) + "\" spacing=\"" +
         std::to_string(spacing) + "\" margin=\"" + std::to_string(margin) + "\" tilecount=\"" +
         std::to_string(columns * rows) + "\" columns=\"" + std::to_string(columns) + "\">\n <image source=\"" +
         source + "\" width=\"" + std::to_string(imageWidth) + "\" height=\"" + std::to_string(imageHeight) +
         "\"/>\n</tileset>\n";
}

// The inner part of a collection tileset (its tiles), for inline or tsx use.
inline std::string CollectionBody(const std::vector<CollectionImage>& images) {
  std::string text;
  for (const CollectionImage& image : images) {
    text += " <tile id=\"" + std::to_string(image.id) + "\">\n  <image source=\"" + image.source +
            "\" width=\"" + std::to_string(image.width) + "\" height=\"" + std::to_string(image.height) +
            "\"/>\n </tile>\n";
  }
  return text;
}

inline std::string CollectionTileset(const std::vector<CollectionImage>& images, unsigned tileWidth,
                                     unsigned tileHeight, unsigned count) {
  return "<tileset name=\"set\" tilewidth=\"" + std::to_string(tileWidth) + "\" tileheight=\"" +
         std::to_string(tileHeight) + "\" tilecount=\"" + std::to_string(count) + "\" columns=\"0\">\n" +
         CollectionBody(images) + "</tileset>\n";
}

// A tileset element of the map naming an external tsx file.
inline std::string ExternalTileset(unsigned firstGid, const std::string& source) {
  return "<tileset firstgid=\"" + std::to_string(firstGid) + "\" source=\"" + source + "\"/>\n";
}

// An inline collection tileset.
inline std::string InlineCollection(unsigned firstGid, const std::vector<CollectionImage>& images,
                                    unsigned tileWidth, unsigned tileHeight, unsigned count) {
  std::string text = CollectionTileset(images, tileWidth, tileHeight, count);
  return "<tileset firstgid=\"" + std::to_string(firstGid) + "\"" + text.substr(std::string("<tileset").size());
}

inline std::string TileLayer(const std::string& name, unsigned columns, unsigned rows,
                             const std::vector<std::uint32_t>& gids, Encoding encoding = Encoding::Csv,
                             const std::string& extra = "") {
  std::string text = "<layer name=\"" + name + "\" width=\"" + std::to_string(columns) + "\" height=\"" +
                     std::to_string(rows) + "\" " + extra + ">\n";
  switch (encoding) {
    case Encoding::Csv: {
      text += " <data encoding=\"csv\">";
      for (size_t i = 0; i < gids.size(); ++i) text += (i ? "," : "") + std::to_string(gids[i]);
      text += "</data>\n";
      break;
    }
    case Encoding::Base64:
      text += " <data encoding=\"base64\">" + tmxtest::Base64(tmxtest::GidBytes(gids)) + "</data>\n";
      break;
    case Encoding::Base64Zlib:
      text += " <data encoding=\"base64\" compression=\"zlib\">" +
              tmxtest::Base64(tmxtest::Deflate(tmxtest::GidBytes(gids))) + "</data>\n";
      break;
  }
  return text + "</layer>\n";
}

// An object group with a rectangle, a polyline and a polygon.
inline std::string ObjectGroup(const std::string& name) {
  return "<objectgroup name=\"" + name +
         "\">\n"
         " <object id=\"1\" name=\"door\" x=\"8\" y=\"8\" width=\"16\" height=\"16\"/>\n"
         " <object id=\"2\" name=\"path\" x=\"0\" y=\"0\"><polyline points=\"0,0 16,8 32,0\"/></object>\n"
         " <object id=\"3\" name=\"pond\" x=\"4\" y=\"4\"><polygon points=\"0,0 8,0 8,8\"/></object>\n"
         "</objectgroup>\n";
}

inline std::string MapXml(const std::string& orientation, unsigned columns, unsigned rows, unsigned tileWidth,
                          unsigned tileHeight, const std::string& children) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.2\" orientation=\"" + orientation +
         "\" renderorder=\"right-down\" width=\"" + std::to_string(columns) + "\" height=\"" +
         std::to_string(rows) + "\" tilewidth=\"" + std::to_string(tileWidth) + "\" tileheight=\"" +
         std::to_string(tileHeight) + "\">\n" + children + "</map>\n";
}

}  // namespace maptest
