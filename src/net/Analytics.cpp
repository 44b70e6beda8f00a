#include "net/Analytics.h"

#include <cstdio>
#include <memory>
#include <thread>
#include <utility>

#include "base/Log.h"
#include "core/DeviceInfo.h"
#include "core/GameSettings.h"
#include "net/HttpFetcher.h"
#include "net/SocketWait.h"
#include "platform/Clock.h"
#include "platform/SteamBridge.h"

namespace GCore {
namespace {

constexpr int kWaitSteps = 50;
constexpr uint32_t kWaitStepMs = 200;

class AnalyticsThread {
 public:
  explicit AnalyticsThread(std::string url) : url_(std::move(url)), thread_(&AnalyticsThread::Run, this) {}
  ~AnalyticsThread() {
    stop_.Wake();
    cancel_.Raise();
    thread_.join();
  }
  AnalyticsThread(const AnalyticsThread&) = delete;
  AnalyticsThread& operator=(const AnalyticsThread&) = delete;

 private:
  // AnalyticsStartThread: the start event, once.
  void Run() {
    // The post under way when the program closes is cut short.
    HttpFetcher_SetCancel(&cancel_);
    // The program's exit ends the wait at once, not at the end of a step.
    for (int step = 0; step < kWaitSteps; ++step) {
      if (SleepUnlessWoken(kWaitStepMs, stop_)) return;
    }
    const std::string productId = GetLogInfo();
    if (productId.empty()) return;
    const std::string body = StartEventBody(productId);
    HttpFetcher_Post(url_.c_str(), body.c_str());
    LogPrintf("HTTP_POST %s", body.c_str());
  }

  const std::string url_;
  SleepWaker stop_;
  WaitCancel cancel_;
  std::thread thread_;  // last: it starts once the rest is made
};

std::unique_ptr<AnalyticsThread> g_analytics;

std::string Fact(const char* key) { return GetDeviceInfo(key).value_or(std::string()); }

void AppendMember(std::string& out, const char* key, const std::string& value) {
  if (out.size() > 2) out += ',';
  AppendJsonString(out, key);
  out += ':';
  AppendJsonString(out, value);
}

}  // namespace

std::string AnalyticsCollectorUrl() { return QUARVELIN_ANALYTICS_URL; }

std::string MatchDataCollectorUrl() { return QUARVELIN_MATCH_DATA_URL; }

void StartAnalyticsThread() { StartAnalyticsThread(AnalyticsCollectorUrl()); }

void StartAnalyticsThread(std::string collectorUrl) {
  if (!g_analytics) g_analytics = std::make_unique<AnalyticsThread>(std::move(collectorUrl));
}

void StopAnalyticsThread() { g_analytics.reset(); }

std::string StartEventBody(const std::string& productId) {
  std::string body = "[{";
  AppendMember(body, "log_type", "orvinmar_game_start");
  AppendMember(body, "source_name", "qz_ods");
  AppendMember(body, "sdk_name", "ods_qz");
  AppendMember(body, "dev_mac", Fact("MAC"));
  AppendMember(body, "steam_id", Fact("Steam"));
  AppendMember(body, "app_ver", Fact("GameVer"));
  AppendMember(body, "product_id", productId);
  AppendMember(body, "start_time", Fact("Time"));
  AppendMember(body, "dev_os", Fact("SysVer"));
  return body + "}]";
}

std::string PlayDurationBody(uint64_t steamId, uint32_t gameTimeMs) {
  return "{\"appid\":" + std::to_string(QUARVELIN_STEAM_APP_ID) + ", \"steam_id\":" + std::to_string(steamId) +
         ",\"duration\": " + std::to_string(gameTimeMs / 1000) + "}";
}

void ReportPlayDuration(uint32_t gameTimeMs) {
  ReportPlayDuration(gameTimeMs, MatchDataCollectorUrl(), SteamLibraryPath());
}

void ReportPlayDuration(uint32_t gameTimeMs, const std::string& collectorUrl, const std::string& steamLibraryPath) {
  const uint64_t steamId = SteamGetSteamId2(steamLibraryPath);
  if (steamId == 0) return;
  const std::string body = PlayDurationBody(steamId, gameTimeMs);
  // Sent, never waited for: the program is closing.
  const int timeout = HttpFetcher_GetTimeout();
  HttpFetcher_SetTimeout(0);
  HttpFetcher_Post(collectorUrl.c_str(), body.c_str());
  HttpFetcher_SetTimeout(timeout);
  LogPrintf("HTTP_POST %s", body.c_str());
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace GCore
