// Language text headers from untrusted bytes. The scripts that module lists
// name come from a temporary game root holding the tests' pair of scripts
// that list each other; every text the header gave is then looked up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/LangManager.h"
#include "fuzz/ScratchFolder.h"
#include "game/GameIF.h"

namespace {

namespace fs = std::filesystem;

fs::path g_root;
std::unique_ptr<GCore::GameIF> g_gameForFuzz;

void ForgetGame() {
  GCore::g_game = nullptr;
  g_gameForFuzz.reset();
}

void Script(const std::string& name, const std::string& text) {
  std::ofstream(g_root / "res/common/script" / (name + ".lua"), std::ios::binary) << text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_root = fuzzfiles::MakeScratchFolder("qv-lang-fuzz");
  fs::create_directories(g_root / "build");
  fs::create_directories(g_root / "res/common/script");
  Script("c_a", "--[[3002\nc_b,\nA\n]]\n");
  Script("c_b", "--[[3003\nc_a,c_b,\nB\n]]\n0x30030002--[[b2]]\n");
  g_gameForFuzz = std::make_unique<GCore::GameIF>("game", g_root.string());
  GCore::g_game = g_gameForFuzz.get();
  std::atexit(ForgetGame);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  GCore::LangManager texts;
  uint32_t fileId = 0xDEAD;
  const size_t end = texts.ParseHeader(bytes.data(), bytes.size(), &fileId);
  if (end > size) __builtin_trap();
  if (fileId == 0xDEAD) return 0;
  if (fileId > 0xFFFF) __builtin_trap();
  const size_t count = texts.GetTextCount(fileId);
  for (uint32_t line = 1; line <= count + 1 && line <= 0xFFFF; ++line) texts.GetText(fileId << 16 | line);
  texts.NewTextID("c_a");
  texts.GetTip("move");
  return 0;
}
