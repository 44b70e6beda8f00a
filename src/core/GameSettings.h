#pragma once
// Process-wide values that scripts set through "gcore.c" and the engine reads:
// texts about the game, the design size and a few switches. Main thread only,
// except the game version and log info, which the analytics thread reads
// through the functions below.
#include <cstdint>
#include <string>

namespace GCore {

struct GameSettings {
  std::string gameMode;
  std::string windowName;
  float designWidth = 800.0f;
  float designHeight = 600.0f;
  int32_t sizeMode = 0;  // 1: the stage follows the render size
  bool showCollisionBoxes = false;
  bool eventStop = false;  // set by a script; the event dispatch clears it
};
extern GameSettings g_settings;

// The game version ("0.0.0.0" at start) and the analytics product id, guarded
// because the analytics thread reads them while scripts may write them.
void SetGameVersion(const std::string& version);
void SetLogInfo(const std::string& info);
std::string GetGameVersion();
std::string GetLogInfo();

}  // namespace GCore
