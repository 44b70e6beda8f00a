// Writes the seed corpus of the gcore.c byte readers' fuzz target into the
// folder given: GBK and UTF-8 texts, and zlib streams of them.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Compression.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::filesystem::path folder = argv[1];
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::vector<std::string> texts = {
      "plain ascii text",
      "\xD6\xD0\xCE\xC4 GBK",                                   // two GBK characters
      "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80",                  // 1 to 4 byte UTF-8
      "\xF8\x88\x80\x80\x80\xFC\x84\x80\x80\x80\x80 old forms",  // 5 and 6 byte forms
      "\xE4\xB8 cut \x80 stray",
  };
  int n = 0;
  for (const std::string& text : texts) {
    std::ofstream(folder / ("text" + std::to_string(n)), std::ios::binary) << text;
    std::string packed;
    if (!GCore::DeflateWhole(text, packed)) return 1;
    std::ofstream(folder / ("zlib" + std::to_string(n)), std::ios::binary) << packed;
    ++n;
  }
  return 0;
}
