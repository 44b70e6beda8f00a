#pragma once
// A game object over a temporary root with script projects whose "gameinit"
// maps resource ids to files: kind 5 ids of folder 0x105 to
// "<project>/img/<low 4 digits>.png" (kind 8 ids to "img/<3 digits>/<1>.png"), and the placeholder image 0x56000001 to
// "<project>/sys/0001.png".
// Tests write PNG files there and let the engine find them by id.
#include <memory>
#include <string>
#include <vector>

#include "base/Log.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "core/TempRoot.h"
#include "game/GameIF.h"
#include "platform/MessageBox.h"

class TestGame {
 public:
  // Kind-5 ids of folder 0x105 resolve to "<project>/img/xxxx.png".
  static constexpr uint32_t Id(uint32_t number) { return 0x51050000u | number; }

  explicit TestGame(const std::vector<std::string>& projects) {
    GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
    for (const std::string& project : projects) {
      root.Write(project + "/script/gameinit.lua",
                 "g_dir = { [0x01050000] = 'img', [0x06000000] = 'sys' }; "
                 "g_ext = { [0x50000000] = '.png', [0x80000000] = '.png' }");
    }
    game = std::make_unique<GCore::GameIF>(projects.front().c_str(), root.Path());
    GCore::g_game = game.get();
    game->CreateScriptVM();
    GCore::LuaManager* manager = game->CreateLuaManager();
    for (const std::string& project : projects) manager->LoadProj(project.c_str());
    manager->SetCurrent(1);
  }
  ~TestGame() {
    game->GetLuaManager()->CloseAll();
    game.reset();
    GCore::g_game = nullptr;
    GCore::SetMessageBoxHook(nullptr);
    GCore::ReleaseScriptBuffer();
    GCore::LogClose();
  }
  TestGame(const TestGame&) = delete;
  TestGame& operator=(const TestGame&) = delete;

  void WriteImage(const std::string& project, uint32_t number, const std::vector<uint8_t>& bytes) {
    char name[16];
    std::snprintf(name, sizeof name, "%04x.png", number & 0xFFFF);
    root.Write(project + "/img/" + name, std::string(bytes.begin(), bytes.end()));
  }
  void WritePlaceholder(const std::string& project, const std::vector<uint8_t>& bytes) {
    root.Write(project + "/sys/0001.png", std::string(bytes.begin(), bytes.end()));
  }
  void SetCurrent(int project) { game->GetLuaManager()->SetCurrent(project); }

  TempRoot root;
  std::unique_ptr<GCore::GameIF> game;
};
