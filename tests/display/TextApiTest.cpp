// The text functions of "gcore.c": font styles, font names and font files,
// the language texts and text ids, recording, and T's placeholders.
#include "TextFixture.h"

namespace {

class TextApiTest : public TextFixture {};

TEST_F(TextApiTest, FontStylesConvertTheirColours) {
  Run("g.addFntStyle(16711680, 0x123456, 0x00FF00, 4, 1); g.addFntStyle(1, 2, 3, 4, 0, nil, 7); "
      "g.addFntStyle(1, 2, 3, 4, 0, 6, 7)");
  const auto& styles = GCore::FontStyles();
  ASSERT_EQ(styles.size(), 3u);
  float red[4];
  GCore::ColourToFloats(styles[0]->color1, red);
  EXPECT_FLOAT_EQ(red[0], 1);
  EXPECT_FLOAT_EQ(red[1], 0);
  EXPECT_FLOAT_EQ(red[2], 0);
  EXPECT_EQ(styles[0]->color2, 0x563412u);
  EXPECT_EQ(styles[0]->color3, 0x00FF00) << "the third colour is kept as given";
  EXPECT_EQ(styles[0]->outline, 1);
  EXPECT_EQ(styles[1]->value7, 0) << "value7 is read only after a value6";
  EXPECT_EQ(styles[2]->value6, 6);
  EXPECT_EQ(styles[2]->value7, 7);
  EXPECT_EQ(&GCore::FontStyleAt(0), styles[0].get());
  EXPECT_EQ(&GCore::FontStyleAt(4), styles[0].get());
  EXPECT_EQ(&GCore::FontStyleAt(3), styles[2].get());
}

TEST_F(TextApiTest, FontNamesAndFontFiles) {
  Run("g.SetFontName(0, 'DejaVu Sans')");
  EXPECT_EQ(Eval("g.GetFontName(0x60180000)"), "DejaVu Sans");
  EXPECT_EQ(Eval("g.GetFontName(0x61180000)"), "nil") << "beyond the table";

  root.Write("p/font/0002.ttf", std::string(reinterpret_cast<const char*>(ReadBytes(kTinyFont).data()), 500));
  root.Write("p/font/0003.ttf", "no font here");
  Run("g_dir = { [0x02000000] = 'font' }; g_ext = { [0x70000000] = '.ttf' }");
  Run("g.SetFontName(1, 'tiny', true)");
  EXPECT_TRUE(GCore::HasTTF({1, 0x72000002}));
  testing::internal::CaptureStdout();
  Run("g.SetFontName(2, 'broken', true); g.SetFontName(3, 'missing', true)");
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("failed AddTTF 72000003: not a TrueType font"), std::string::npos) << printed;
  EXPECT_FALSE(GCore::HasTTF({1, 0x72000003}));
  EXPECT_FALSE(GCore::HasTTF({1, 0x72000004}));
}

TEST_F(TextApiTest, LanguageTextsAndIds) {
  root.Write("p/script/c_words.lua", "--[[3001\n\nHello\nWorld\n]]\n");
  Run(R"(
    g.LoadLuaText('c_words')
    checks = {
      g.GetLuaID('c_words') == 0x3001,
      g.GetNumTextInLua(0x3001) == 2,
      g.GetText(0x30010001) == 'Hello',
      g.GetText(0x30010001, nil) == 'Hello',
      g.GetText(0x30010001, 2) == nil,
      g.NewTextID('c_words') == 0x30010003,
      g.IsTextOwner('c_words', 0x30010002) and not g.IsTextOwner('c_words', 0x30020002),
      g.GetTextOwner(0x30010001) == 'c_words',
      g.GetTextOwner(0x77770001) == '',
      g.NewLuaID('c_other') == 0x3002,
      g.GetFuncTips('nothing') == '',
    }
    g.UnloadLuaText('c_words')
    checks[#checks + 1] = g.GetText(0x30010001) == nil
    for i, ok in ipairs(checks) do if not ok then error('check ' .. i) end end
  )");
}

TEST_F(TextApiTest, RecordedTexts) {
  Run(R"(
    g.SetText(0x30010001, 'before')
    g.SetTextRecording(true)
    g.SetText(0x30010002, 'kept')
    g.SetText(0x30010003, nil)
    g.SetTextRecording(false)
    g.SetText(0x30010004, 'after')
    recorded = {}
    g.GetTextRecorded(recorded)
    g.GetTextRecorded(recorded, 5)
  )");
  EXPECT_EQ(Eval("recorded[0x30010002]"), "kept");
  EXPECT_EQ(Eval("recorded[0x30010003]"), "") << "a text that is gone reads empty";
  EXPECT_EQ(Eval("recorded[0x30010001] == nil and recorded[0x30010004] == nil"), "true");
}

TEST_F(TextApiTest, PlaceholdersOfT) {
  GCore::LangManager& texts = *manager->GetProject(1)->texts;
  texts.SetText(0x30010001, "a$1b");
  texts.SetText(0x30010002, "$");
  texts.SetText(0x30010003, "<$z$9$0$>");
  texts.SetText(0x30010004, "x\xE4\xB8");
  texts.SetText(0x30010005, (std::string(2040, 'a') + "$1").c_str());
  texts.SetText(0x30010006, (std::string(2046, 'a') + "\xE4\xB8\xAD").c_str());
  struct Case {
    const char* call;
    const char* result;
  } cases[] = {
      {"g.T(0x30010001, 'X')", "aXb"},
      {"g.T(0x30010001)", "ab"},
      {"g.T(0x30010001, {})", "ab"},
      {"g.T(0x30010001, 1)", "a1b"},  // a number picks the project, and is $1
      {"g.T(0x30010002, 'X')", ""},
      {"g.T(0x30010003, 'X')", "<805371907"},  // only $0 (the id) names an argument; "$>" takes the ">"
      {"g.T(0x30010004)", "x\xE4\xB8"},
      {"g.T(0x39990001)", "nil"},
      {"#g.T(0x30010005, string.rep('b', 100))", "2047"},
      {"#g.T(0x30010006)", "2046"},  // a character that does not fit is left out whole
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.call), c.result) << c.call;

  // Characters below '0' name no argument either: they must not reach into
  // the caller's values below the call's own.
  texts.SetText(0x30010007, "<$ $!$#>");
  Run(R"(
    local function call()
      local a, b, c, d, e, f, g1, h, i, j = 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK'
      local k, l, m, n, o, p, q, r, s, t = 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK', 'LEAK'
      return g.T(0x30010007), a, b, c, d, e, f, g1, h, i, j, k, l, m, n, o, p, q, r, s, t
    end
    result = call()
  )");
  EXPECT_EQ(Eval("result"), "<>");
}

}  // namespace
