#include "core/GameSettings.h"

#include <mutex>

namespace GCore {

GameSettings g_settings;

namespace {
std::mutex g_textsMutex;
std::string g_gameVersion = "0.0.0.0";
std::string g_logInfo;
}  // namespace

void SetGameVersion(const std::string& version) {
  std::lock_guard lock(g_textsMutex);
  g_gameVersion = version;
}

void SetLogInfo(const std::string& info) {
  std::lock_guard lock(g_textsMutex);
  g_logInfo = info;
}

std::string GetGameVersion() {
  std::lock_guard lock(g_textsMutex);
  return g_gameVersion;
}

std::string GetLogInfo() {
  std::lock_guard lock(g_textsMutex);
  return g_logInfo;
}

}  // namespace GCore
