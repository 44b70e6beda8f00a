#pragma once
// A game root whose first project finds sounds by id (kind 2, folder "sound",
// extension ".mp3"), with the audio manager the test installs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "SoundFixtures.h"
#include "core/AllocatedBytes.h"
#include "core/ScriptHostFixture.h"
#include "media/AudioManager.h"

namespace audio_test {

class GameWithAudio : public GCore::GameIF {
 public:
  using GameIF::GameIF;
  template <class Manager>
  Manager& Install(std::unique_ptr<Manager> manager) {
    Manager& installed = *manager;
    audioManager_ = std::move(manager);
    return installed;
  }
};

class SoundRoot : public ScriptHostFixture {
 protected:
  void SetUp() override {
    ScriptHostFixture::SetUp();
    if (!SoundFixtures::Get().Ready()) GTEST_SKIP() << "lame or ffmpeg could not make the fixtures";
    GCore::GlobalVolume = 1.0f;
    root.Write("loader/script/gameinit.lua", "g_dir = {[0x10000] = 'sound'} g_ext = {[0x20000000] = '.mp3'}");
    auto owner = std::make_unique<GameWithAudio>("loader", root.Path());
    audioGame = owner.get();
    game = std::move(owner);
    GCore::g_game = game.get();
    game->CreateScriptVM();
    game->CreateLuaManager()->LoadProj("loader");
    L = game->GetLuaManager()->GetProject(1)->state;
    luaL_dostring(L, "g = require('gcore.c')");
  }

  // Copies a fixture into the project as sound `number`; returns its id.
  uint32_t AddSound(const std::string& fixture, uint32_t number) {
    char name[32];
    std::snprintf(name, sizeof(name), "loader/sound/%04x.mp3", number);
    root.Write(name, SoundFixtures::Get().Bytes(fixture));
    return 0x20010000u | number;
  }

  GameWithAudio* audioGame = nullptr;
  lua_State* L = nullptr;
};

using testmemory::AllocatedBytes;

}  // namespace audio_test
