#pragma once
// The bunnymark's physics (bunnymark/move.lua, which LÖVE's bunnymark runs
// too) as Lua source that defines the local function `move(list)`, for the
// scripts of the program's benchmarks; empty, with the reason printed, when
// the file cannot be read.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace bench {

inline std::string BunnyMoveSource() {
  std::ifstream file(QUARVELIN_BUNNYMARK_DIR "/move.lua");
  std::stringstream text;
  text << file.rdbuf();
  if (!file || text.str().empty()) {
    std::printf("cannot read %s\n", QUARVELIN_BUNNYMARK_DIR "/move.lua");
    return {};
  }
  return "local move = (function()\n" + text.str() + "\nend)()\n";
}

}  // namespace bench
