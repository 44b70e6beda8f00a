#include <gtest/gtest.h>

#include <memory>

#include "StreamTestFiles.h"
#include "core/LangManager.h"
#include "game/GameIF.h"

namespace {

using streamtest::TempFolder;
using streamtest::WriteFile;

// Scripts live in the shared project's script folder of a temporary root: with
// no project loaded, that is where script names lead.
class LangManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root_ / "build");
    game_ = std::make_unique<GCore::GameIF>("game", root_.path());
    GCore::g_game = game_.get();
  }
  void TearDown() override { GCore::g_game = nullptr; }

  void Script(const std::string& name, const std::string& content) {
    WriteFile(root_ / ("res/common/script/" + name + ".lua"), content);
  }
  std::string Text(uint32_t id) const {
    const char* text = texts_.GetText(id);
    return text ? text : "<none>";
  }

  TempFolder root_;
  std::unique_ptr<GCore::GameIF> game_;
  GCore::LangManager texts_;
};

TEST_F(LangManagerTest, HeaderWithoutTexts) {
  const struct {
    std::string bytes;
    uint32_t fileId;  // 0xDEAD: left alone
    size_t end;       // after the block, or where a block would begin
  } cases[] = {
      {"--[[3001\n]]\nlocal x = 1\n", 0x3001, 12},
      {"\xEF\xBB\xBF--[[3001\r\n]]\r\n", 0x3001, 17},
      {"--[[3001\n]]", 0x3001, 11},
      {"--[[0\nc_a,\n]]\n", 0, 0},
      {"--[[x3001\n]]\n", 0, 0},
      {"--[[123456789\n]]\n", 0, 0},  // past 8 digits: 0x12345678, not 16 bits
      // Closed on the module line: nothing after it is read.
      {"--[[3001\n]]\n0x30010001--[[entry]]\n", 0x3001, 12},
      {"-- [[3001\n]]\n", 0xDEAD, 0},
      {"local t = {}\n", 0xDEAD, 0},
      {"--[", 0xDEAD, 0},
      {"", 0xDEAD, 0},
  };
  for (const auto& c : cases) {
    uint32_t fileId = 0xDEAD;
    const size_t end = texts_.ParseHeader(c.bytes.data(), c.bytes.size(), &fileId);
    EXPECT_EQ(fileId, c.fileId) << c.bytes;
    EXPECT_EQ(end, c.end) << c.bytes;
    EXPECT_EQ(texts_.GetTextCount(0x3001), 0u) << c.bytes;
  }
}

TEST_F(LangManagerTest, TextsModulesAndEntries) {
  // c_other runs first: its entry for line 1 is then replaced by c_main's header.
  Script("c_other", "--[[3002\n\n]]\n0x30010001--[[from other]]\n0x30020002--[[other 2]]\n");
  Script("c_main",
         "--[[3001\n"
         "c_other,\n"
         "Hello\n"
         "\n"
         " \n"
         " Hi\n"
         "]]\n"
         "local t = {}\n"
         "t.bye = 0x30010005--[[Bye]]\n"
         "t.two = 0x30010006--[[two\nlines]]\n"
         "t.bad = 0x3001000g--[[not hex]]\n");
  texts_.LoadFromLua("c_main");

  EXPECT_EQ(texts_.GetLuaID("c_main"), 0x3001u);
  EXPECT_EQ(texts_.GetLuaID("c_other"), 0x3002u);
  EXPECT_STREQ(texts_.GetLuaName(0x3002), "c_other");
  const struct {
    uint32_t id;
    const char* text;
  } expected[] = {
      {0x30010001, "Hello"}, {0x30010002, "<none>"}, {0x30010003, ""},
      {0x30010004, " Hi"},   {0x30010005, "Bye"},    {0x30010006, "two\nlines"},
      {0x30010007, "<none>"}, {0x30020002, "other 2"},
  };
  for (const auto& e : expected) EXPECT_EQ(Text(e.id), e.text) << std::hex << e.id;
  EXPECT_EQ(texts_.GetTextCount(0x3001), 6u);
}

TEST_F(LangManagerTest, ScriptsListingEachOtherLoadOnce) {
  Script("c_a", "--[[3001\nc_b,\nA\n]]\n");
  Script("c_b", "--[[3002\nc_a,c_b,\nB\n]]\n");
  texts_.LoadFromLua("c_a");
  EXPECT_EQ(texts_.GetLuaID("c_a"), 0x3001u);
  EXPECT_EQ(texts_.GetLuaID("c_b"), 0x3002u);
  EXPECT_EQ(Text(0x30010001), "A");
  EXPECT_EQ(Text(0x30020001), "B");
}

TEST_F(LangManagerTest, DeepModuleChainsStop) {
  const int kChain = 100;
  for (int i = 0; i < kChain; ++i) {
    Script("c_" + std::to_string(i), "--[[" + std::to_string(3000 + i) + "\nc_" +
                                         std::to_string(i + 1) + ",\nT\n]]\n");
  }
  texts_.LoadFromLua("c_0");
  EXPECT_EQ(texts_.GetLuaID("c_0"), 0x3000u);
  EXPECT_EQ(Text(0x30000001), "T");
  EXPECT_EQ(texts_.GetLuaID("c_99"), 0u) << "the chain is cut before it ends";
}

TEST_F(LangManagerTest, LineEnds) {
  const struct {
    const char* what;
    std::string bytes;
    std::vector<std::pair<uint32_t, const char*>> texts;
  } cases[] = {
      {"CRLF",
       "--[[3001\r\nc_x,\r\nOne\r\n\r\n \r\n]]\r\n0x30010004--[[four\r\nlines]]\r\n",
       {{0x30010001, "One"}, {0x30010002, "<none>"}, {0x30010003, ""},
        {0x30010004, "four\nlines"}}},
      {"no newline after the block", "--[[3001\n\nOne\n]]", {{0x30010001, "One"}}},
      {"no newline after the last entry", "--[[3001\n\nOne\n]]\n0x30010002--[[Two]]",
       {{0x30010001, "One"}, {0x30010002, "Two"}}},
      {"block never closed", "--[[3001\n\nOne\nTwo", {{0x30010001, "One"}, {0x30010002, "<none>"}}},
      {"CR alone stays", "--[[3001\n\nOne\rstill one\n]]\n", {{0x30010001, "One\rstill one"}}},
  };
  for (const auto& c : cases) {
    texts_.Clear();
    Script("c_x", "--[[3009\n]]\n");
    uint32_t fileId = 0;
    texts_.ParseHeader(c.bytes.data(), c.bytes.size(), &fileId);
    EXPECT_EQ(fileId, 0x3001u) << c.what;
    for (const auto& [id, text] : c.texts) EXPECT_EQ(Text(id), text) << c.what;
  }
  EXPECT_EQ(texts_.GetLuaID("c_x"), 0u) << "last case lists no modules";
}

TEST_F(LangManagerTest, ModuleNamesNeedTheirComma) {
  Script("c_a", "--[[3002\n]]\n");
  Script("c_b", "--[[3003\n]]\n");
  Script("c_c", "--[[3004\n]]\n");
  const std::string header = "--[[3001\n c_a , c_b\nc_c,\nText\n]]\n";
  uint32_t fileId = 0;
  texts_.ParseHeader(header.data(), header.size(), &fileId);
  EXPECT_EQ(texts_.GetLuaID("c_a"), 0x3002u);
  EXPECT_EQ(texts_.GetLuaID("c_b"), 0u) << "no comma: not a name";
  EXPECT_EQ(texts_.GetLuaID("c_c"), 0u) << "text lines are never module lists";
  EXPECT_EQ(Text(0x30010001), "c_c,");
  EXPECT_EQ(Text(0x30010002), "Text");
}

TEST_F(LangManagerTest, UnclosedEntryStopsTheScan) {
  const std::string bytes =
      "--[[3001\n\n]]\n0x30010001--[[one]] 0x30010002--[[never closed\n0x3001000";
  uint32_t fileId = 0;
  texts_.ParseHeader(bytes.data(), bytes.size(), &fileId);
  EXPECT_EQ(Text(0x30010001), "one");
  EXPECT_EQ(Text(0x30010002), "<none>");
}

TEST_F(LangManagerTest, TipsOfPrefixPScripts) {
  const std::string body =
      "\n]]\nlocal t = {}\n"
      "--tips=Moves the unit\n"
      "t.move = function(unit) end\n"
      "--tips=Jumps\r\n"
      "t[\"jump\"] = function() end\n"
      "--tips=Runs\n"
      "t['run']\t= function() end\n"
      "--tips=Moves again\n"
      "t.move = function(unit, speed) end\n"
      "--tips=Never defined\n";
  const std::string tips = "--[[4001\n" + body;
  uint32_t fileId = 0;
  texts_.ParseHeader(tips.data(), tips.size(), &fileId);
  EXPECT_STREQ(texts_.GetTip("move"), "Moves again");
  EXPECT_STREQ(texts_.GetTip("jump"), "Jumps");
  EXPECT_STREQ(texts_.GetTip("run"), "Runs");

  GCore::LangManager other;
  const std::string noTips = "--[[3001\n" + body;
  other.ParseHeader(noTips.data(), noTips.size(), &fileId);
  EXPECT_EQ(other.GetTip("move"), nullptr) << "only p_ scripts carry tips";

  GCore::LangManager closedEarly;
  const std::string closed = "--[[4001" + body;  // "]]" on the module line
  closedEarly.ParseHeader(closed.data(), closed.size(), &fileId);
  EXPECT_EQ(fileId, 0x4001u);
  EXPECT_EQ(closedEarly.GetTip("move"), nullptr) << "a block closed on its module line ends the scan";
}

TEST_F(LangManagerTest, IdsAndSlots) {
  Script("p_unit", "--[[4001\n\n\none\ntwo\n\nfour\n]]\n");
  EXPECT_EQ(texts_.NewLuaID("p_new"), 0x4001u);
  texts_.LoadFromLua("p_unit");
  EXPECT_EQ(texts_.NewLuaID("p_new"), 0x4002u);
  EXPECT_EQ(texts_.NewLuaID("a_new"), 0x5001u);
  EXPECT_EQ(texts_.NewTextID("p_unit"), 0x40010001u) << "line 1 was empty";
  texts_.SetText(0x40010001, "zero");
  EXPECT_EQ(texts_.NewTextID("p_unit"), 0x40010004u);
  texts_.SetText(0x40010004, "three");
  EXPECT_EQ(texts_.NewTextID("p_unit"), 0x40010006u);
  texts_.SetText(0x40010002, nullptr);
  EXPECT_EQ(texts_.NewTextID("p_unit"), 0x40010002u);
  texts_.SetText(0x40010000, "line 0 is never stored");
  EXPECT_EQ(Text(0x40010000), "<none>");
  EXPECT_EQ(texts_.GetTextCount(0x4001), 5u);
  EXPECT_EQ(texts_.NewTextID("p_unknown"), 0x00000001u);
}

TEST_F(LangManagerTest, LoadedOnceUntilUnloaded) {
  Script("v_menu", "--[[2001\n\nOld\n]]\n");
  texts_.LoadFromLua("v_menu");
  Script("v_menu", "--[[2001\n\nNew\n]]\n");
  texts_.LoadFromLua("v_menu");
  EXPECT_EQ(Text(0x20010001), "Old");

  texts_.UnloadLuaText("v_menu");
  EXPECT_EQ(texts_.GetLuaID("v_menu"), 0u);
  EXPECT_EQ(texts_.GetLuaName(0x2001), nullptr);
  EXPECT_EQ(Text(0x20010001), "<none>");
  texts_.LoadFromLua("v_menu");
  EXPECT_EQ(Text(0x20010001), "New");
}

TEST_F(LangManagerTest, ScriptsWithoutAHeaderBlock) {
  Script("plain", "--[[3001\n\nText\n]]\n");
  Script("c_code", "return {}\n");
  const std::string explicitPath = root_ / "elsewhere.lua";
  WriteFile(explicitPath, "--[[3005\n\nThere\n]]\n");
  texts_.LoadFromLua("plain");
  texts_.LoadFromLua("c_code");
  texts_.LoadFromLua("c_missing");
  texts_.LoadFromLua("c_there", explicitPath.c_str());
  EXPECT_EQ(texts_.GetLuaID("plain"), 0u) << "only prefixed names have texts";
  EXPECT_EQ(texts_.GetLuaID("c_code"), 0u);
  EXPECT_EQ(texts_.GetLuaID("c_missing"), 0u);
  EXPECT_EQ(Text(0x30010001), "<none>");
  EXPECT_EQ(Text(0x30050001), "There");
}

}  // namespace
