#pragma once
// Helpers shared by the TMX loader tests: a log recorder, a scratch folder
// for generated map files, XML snippets and the tile-data encoders.
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tilemap/TmxLog.h"

namespace tmxtest {

// Records every line the loader logs, through the debug sink, while alive.
class LogRecorder {
 public:
  LogRecorder() : previous_(tmx::setDebugSink(&Record)) { Lines().clear(); }
  ~LogRecorder() { tmx::setDebugSink(previous_); }

  // Logged lines without their line feed.
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  bool Has(const std::string& line) const {
    return std::find(Lines().begin(), Lines().end(), line) != Lines().end();
  }
  bool HasLevel(const char* prefix) const {
    return std::any_of(Lines().begin(), Lines().end(),
                       [prefix](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  }

 private:
  static void Record(const std::string& text) {
    Lines().push_back(text.size() && text.back() == '\n' ? text.substr(0, text.size() - 1) : text);
  }
  tmx::DebugSink previous_;
};

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-tmx-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  std::string Write(const std::string& relative, const std::string& content) const {
    const std::string path = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

 private:
  std::string root_;
};

// One parsed XML snippet; root() is its first element.
class Xml {
 public:
  explicit Xml(const std::string& text) { EXPECT_TRUE(document_.load_string(text.c_str())) << text; }
  pugi::xml_node root() const { return document_.document_element(); }

 private:
  pugi::xml_document document_;
};

inline std::string GidBytes(const std::vector<std::uint32_t>& gids) {
  std::string bytes;
  for (const std::uint32_t gid : gids) {
    for (int shift = 0; shift < 32; shift += 8) bytes += char((gid >> shift) & 0xFF);
  }
  return bytes;
}

inline std::string Base64(const std::string& bytes) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = std::uint32_t(std::uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) group |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) group |= std::uint8_t(bytes[i + 2]);
    text += alphabet[(group >> 18) & 63];
    text += alphabet[(group >> 12) & 63];
    text += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
    text += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
  }
  return text;
}

// windowBits 15 gives a zlib stream, 31 a gzip one.
inline std::string Deflate(const std::string& bytes, int windowBits = 15) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, uLong(bytes.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = uInt(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// A zlib stream of count zero bytes, made without holding them in memory.
inline std::string DeflateZeros(std::size_t count) {
  z_stream stream{};
  EXPECT_EQ(deflateInit(&stream, Z_BEST_COMPRESSION), Z_OK);
  const std::string zeros(1 << 20, '\0');
  std::string out;
  char buffer[1 << 16];
  for (;;) {
    const std::size_t chunk = std::min(count, zeros.size());
    count -= chunk;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = uInt(chunk);
    const int flush = count == 0 ? Z_FINISH : Z_NO_FLUSH;
    int result;
    do {
      stream.next_out = reinterpret_cast<Bytef*>(buffer);
      stream.avail_out = sizeof buffer;
      result = deflate(&stream, flush);
      out.append(buffer, sizeof buffer - stream.avail_out);
    } while (stream.avail_out == 0);
    if (result == Z_STREAM_END) break;
  }
  deflateEnd(&stream);
  return out;
}

// A map element of the given size around the given children.
inline std::string MapText(const std::string& children, unsigned columns = 2, unsigned rows = 2,
                           const std::string& extra = "") {
  return "<map version=\"1.2\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" +
         std::to_string(columns) + "\" height=\"" + std::to_string(rows) +
         "\" tilewidth=\"16\" tileheight=\"16\" " + extra + ">\n" + children + "</map>\n";
}

}  // namespace tmxtest
