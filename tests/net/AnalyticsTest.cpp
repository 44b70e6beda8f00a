// The two reports against collectors of the test: the start event's JSON
// with hostile values, its thread's early end, and the exit report that is
// sent without waiting for an answer.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <thread>

#include "../core/TempRoot.h"
#include "FastClock.h"
#include "LoopbackServers.h"
#include "core/GameSettings.h"
#include "net/Analytics.h"
#include "net/HttpFetcher.h"
#include "platform/Clock.h"

namespace {

using nettest::FastClock;

class StartEvent : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(server.Port(), 0);
    GCore::SetClock(&clock);
  }
  void TearDown() override {
    GCore::StopAnalyticsThread();
    GCore::SetClock(nullptr);
    GCore::SetLogInfo("");
    GCore::SetGameVersion("0.0.0.0");
  }
  std::string Collected() const { return nettest::ReadFile(folder.Path("posts.txt")); }

  TempRoot folder;
  FastClock clock;
  nettest::PythonHttpServer server{{"--log", folder.Path("posts.txt")}};
};

TEST_F(StartEvent, CollectorReceivesValidJsonWhateverTheValues) {
  GCore::SetLogInfo("id \"quoted\" back\\slash\ttab\x01\n");
  GCore::SetGameVersion("1.\"2\"");
  testing::internal::CaptureStdout();
  GCore::StartAnalyticsThread(server.Url("/"));
  ASSERT_TRUE(nettest::WaitUntil([&] { return Collected().find("json") != std::string::npos; }));
  GCore::StopAnalyticsThread();
  const std::string output = testing::internal::GetCapturedStdout();
  const std::string posts = Collected();
  EXPECT_NE(posts.find("POST /\n[{\"log_type\":\"orvinmar_game_start\",\"source_name\":\"qz_ods\",\"sdk_name\":\"ods_qz\","
                       "\"dev_mac\":\""),
            std::string::npos)
      << posts;
  EXPECT_NE(posts.find("\"app_ver\":\"1.\\\"2\\\"\","), std::string::npos) << posts;
  EXPECT_NE(posts.find("\"product_id\":\"id \\\"quoted\\\" back\\\\slash\\ttab\\u0001\\n\",\"start_time\":\""),
            std::string::npos)
      << posts;
  EXPECT_NE(posts.find("\"dev_os\":\"Unknown System\"}]\njson ok\n"), std::string::npos) << posts;
  EXPECT_NE(output.find("HTTP_POST [{\"log_type\""), std::string::npos);
}

// A collector that sends a byte now and then never lets the post time out;
// the program's exit cuts it short instead of waiting for it.
TEST_F(StartEvent, StoppingCutsAPostUnderWayShort) {
  GCore::SetLogInfo("slow collector");
  GCore::StartAnalyticsThread(server.Url("/trickle/2000"));
  ASSERT_TRUE(nettest::WaitUntil([&] { return Collected().find("POST /trickle") != std::string::npos; }));
  const nettest::HangGuard guard(15, "stopping the analytics thread");
  GCore::StopAnalyticsThread();
}

TEST_F(StartEvent, NothingIsSentWithoutLogInfoOrAfterAnEarlyQuit) {
  GCore::StartAnalyticsThread(server.Url("/"));
  // Its 50 waits have passed; stopping now ends it wherever it is.
  ASSERT_TRUE(nettest::WaitUntil([&] { return clock.sleeps >= 50; }));
  GCore::StopAnalyticsThread();
  GCore::SetLogInfo("product");
  GCore::SetClock(nullptr);
  GCore::StartAnalyticsThread(server.Url("/"));
  GCore::StopAnalyticsThread();  // within its first 200 ms
  EXPECT_EQ(Collected(), "");
}

TEST(PlayDuration, BodyCountsWholeSeconds) {
  EXPECT_EQ(GCore::PlayDurationBody(76561197960287930ULL, 999),
            "{\"appid\":" + std::to_string(QUARVELIN_STEAM_APP_ID) +
                ", \"steam_id\":76561197960287930,\"duration\": 0}");
  EXPECT_NE(GCore::PlayDurationBody(1, 1000).find("\"duration\": 1}"), std::string::npos);
  EXPECT_NE(GCore::PlayDurationBody(1, 4294967295u).find("\"duration\": 4294967}"), std::string::npos);
}

TEST(PlayDuration, SentWithoutWaitingForTheAnswer) {
  // A collector that takes the request and never answers.
  auto collector = std::make_unique<nettest::ScriptedServer>(std::vector<nettest::Reply>{{{}, false}});
  const std::string url = collector->Url("/kelvath/match-data");
  testing::internal::CaptureStdout();
  auto report = std::async(std::launch::async, [&] {
    // Without limit: only the report's own time-out of 0 lets it return.
    GCore::HttpFetcher_SetTimeout(-1);
    GCore::ReportPlayDuration(1500, url, FAKE_STEAM_TOOL);
    return GCore::HttpFetcher_GetTimeout();
  });
  const bool returned = report.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  EXPECT_TRUE(returned) << "the report waited for an answer";
  ASSERT_TRUE(nettest::WaitUntil([&] { return !collector->Requests().empty(); }));
  EXPECT_EQ(collector->Requests()[0].rfind("POST /kelvath/match-data HTTP/1.1\r\n", 0), 0u);
  collector.reset();  // its close would end a wait
  EXPECT_EQ(report.get(), -1) << "the thread's own time-out is restored";
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("HTTP_POST {\"appid\":"), std::string::npos) << output;
  EXPECT_EQ(output.find("post OK"), std::string::npos);
}

TEST(PlayDuration, NoBridgeNoReport) {
  nettest::ScriptedServer collector({{{}, true}});
  GCore::ReportPlayDuration(1500, collector.Url("/"), FAKE_STEAM_TOOL_BARE);
  GCore::ReportPlayDuration(1500, collector.Url("/"), "/nonexistent/steam_tool.so");
  EXPECT_EQ(collector.Connections(), 0);
}

}  // namespace
