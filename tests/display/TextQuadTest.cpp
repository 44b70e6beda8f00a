// Text objects on a recording renderer: line layout (wrapping, breaks, tabs,
// inline images, the limit), drawing (positions, markup colours, shadows,
// outlines, password, selection), links and their callbacks, the
// typewriter, texts from ids and "DB_EVAL", and the script members.
#include <cmath>

#include "TextFixture.h"
#include "core/ClassFactory.h"

namespace {

using GCore::TextQuad;

class TextQuadTest : public TextFixture {};

TEST_F(TextQuadTest, LinesBreakAtTheWidthOrStopThere) {
  const float a = Advance('a');
  struct Case {
    const char* text;
    float width;
    bool wrap;
    int scaleMode;
    std::vector<int32_t> ends;
  } cases[] = {
      {"aaaa", 2.5f * a, true, 0, {2, 4}},
      {"aaaa", 2.5f * a, false, 0, {2}},
      {"aaaa", 1.0f * a, false, 1, {4}},  // a text that grows has no limit
      {"aaaaaaa", 3.5f * a, true, 0, {3, 6, 7}},
      {"a", 0.5f * a, true, 0, {1}},  // a line takes at least one element
      {"a[br]b", 300, false, 0, {2, 3}},
      {"a[br]", 300, false, 0, {2, 2}},
      {"", 300, false, 0, {0}},
      {"[tb=250]aaaa", 300, true, 0, {4, 5}},  // the tab, three of a, then the fourth
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    text->wrap = c.wrap;
    text->scaleMode = static_cast<uint8_t>(c.scaleMode);
    Run("t.width = " + std::to_string(c.width));
    text->SetText(c.text);
    text->LayoutLines(0);
    EXPECT_EQ(LineEnds(), c.ends);
  }
}

TEST_F(TextQuadTest, TextSizeFollowsTheLines) {
  Run("t.wrap = true; t.lineSpacing = 3; t.text = 'a[br]a[br]a'");
  text->LayoutLines(0);
  const float line = std::max(16.0f, text->GetGlyph('a', 1)->height);
  EXPECT_FLOAT_EQ(text->textHeight, 3 * line + 2 * 3);
  EXPECT_FLOAT_EQ(text->textWidth, Advance('a'));
  Run("t.width = " + std::to_string(1.5f * Advance('a')) + "; t.wrap = false; t.text = 'aaa'");
  text->LayoutLines(0);
  EXPECT_FLOAT_EQ(text->textWidth, 1.5f * Advance('a')) << "a text that stops at the width is as wide";
}

TEST_F(TextQuadTest, GlyphsSitOnTheBottomOfTheirLineFromTheBlocksTopLeft) {
  Run("t.letterSpacing = 2; t.text = 'ab[br]c'");
  const std::vector<DrawnImage> glyphs = Glyphs();
  ASSERT_EQ(glyphs.size(), 3u);
  const float line = text->lines[0].height;
  EXPECT_FLOAT_EQ(glyphs[0].left, BlockLeft());
  EXPECT_FLOAT_EQ(glyphs[0].bottom, BlockTop() - line);
  EXPECT_FLOAT_EQ(glyphs[1].left, BlockLeft() + Advance('a') + 2);
  EXPECT_FLOAT_EQ(glyphs[2].left, BlockLeft());
  EXPECT_FLOAT_EQ(glyphs[2].bottom, BlockTop() - line - text->lines[1].height);
  EXPECT_FLOAT_EQ(glyphs[0].top - glyphs[0].bottom, text->GetGlyph('a', 1)->height);
}

TEST_F(TextQuadTest, AlignmentPlacesTheBlockInTheBox) {
  Run("t.text = 'a'; t.margin = 10");
  text->LayoutLines(0);
  const float w = text->textWidth, h = text->textHeight;
  struct Case {
    int align;
    float left, bottom;
  } cases[] = {
      {1, -140, 50 - h},
      {3, 140 - w, 50 - h},
      {5, std::floor((280 - w) / 2) - 140, std::floor((100 - h) / 2) - 50},
      {7, -140, -50},
      {9, 140 - w, -50},
  };
  for (const Case& c : cases) {
    Run("t.align = " + std::to_string(c.align));
    const std::vector<DrawnImage> glyphs = Glyphs();
    ASSERT_EQ(glyphs.size(), 1u);
    EXPECT_FLOAT_EQ(glyphs[0].left, c.left) << c.align;
    EXPECT_FLOAT_EQ(glyphs[0].bottom, c.bottom) << c.align;
  }
}

TEST_F(TextQuadTest, TabsAndInlineImages) {
  AddImage(0x51050001, 16, 40);
  Run("t.text = '[tb=40]x[im=51050001]y'");
  const std::vector<DrawnImage> drawn = Draw();
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_FLOAT_EQ(drawn[0].left, BlockLeft() + 40);
  EXPECT_FLOAT_EQ(drawn[1].left, BlockLeft() + 40 + Advance('x'));
  EXPECT_FLOAT_EQ(drawn[1].top - drawn[1].bottom, 40);
  EXPECT_EQ(drawn[1].texture->id, 0x51050001u);
  EXPECT_FLOAT_EQ(drawn[2].left, BlockLeft() + 40 + Advance('x') + 16);
  EXPECT_FLOAT_EQ(text->lines[0].height, 40) << "the image sets the line's height";
}

TEST_F(TextQuadTest, MarkupStylesColourTheirGlyphsAndShadows) {
  Run(R"(
    g.addFntStyle(0xFFFFFF, 0, 0, 0, 0)
    g.addFntStyle(0xFF0000, 0, 0x00FF00, 0, 0)
    g.addFntStyle(0x0000FF, 0, 0, 0, 0)
    t.color = 0x808080
    t.alpha = 128
    t.fontStyle = 3
    t.text = '[01]a[02]b[/0]c'
  )");
  std::vector<DrawnImage> glyphs = Glyphs();
  ASSERT_EQ(glyphs.size(), 3u);
  const float grey = 128.0f / 255.0f;
  EXPECT_NEAR(glyphs[0].r, grey, 1e-3) << "style 1 is white, times the object's colour";
  EXPECT_NEAR(glyphs[0].a, grey, 1e-3);
  EXPECT_NEAR(glyphs[1].r, grey, 1e-3) << "style 2 is red";
  EXPECT_NEAR(glyphs[1].g, 0, 1e-3);
  EXPECT_NEAR(glyphs[2].g, grey, 1e-3) << "style 1 again after the end tag";

  Run("t.fontStyleOn = 255; t.textByte0, t.textByte1 = 3, 4; t.text = 'a[02]b'");
  glyphs = Glyphs();
  ASSERT_EQ(glyphs.size(), 4u) << "a shadow before each glyph";
  EXPECT_NEAR(glyphs[0].b, 1, 1e-3) << "outside markup: the first colour of style fontStyle";
  EXPECT_NEAR(glyphs[0].a, grey, 1e-3) << "shadow byte times the object's alpha";
  EXPECT_FLOAT_EQ(glyphs[0].left, glyphs[1].left + 3);
  EXPECT_FLOAT_EQ(glyphs[0].bottom, glyphs[1].bottom + 4);
  EXPECT_NEAR(glyphs[2].g, 1, 1e-3) << "under markup: the style's third colour";
  EXPECT_NEAR(glyphs[2].r, 0, 1e-3);
}

TEST_F(TextQuadTest, TheShadowOfAnOutlinedStyleIsTheOutline) {
  Run("g.addFntStyle(0xFFFFFF, 0, 0, 0, 1); t.fontStyleOn = 255; t.text = 'o'");
  const std::vector<DrawnImage> glyphs = Glyphs();
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_FLOAT_EQ(glyphs[0].left, glyphs[1].left - 1);
  EXPECT_FLOAT_EQ(glyphs[0].right - glyphs[0].left, glyphs[1].right - glyphs[1].left + 2);
  EXPECT_FLOAT_EQ(glyphs[0].bottom, glyphs[1].bottom - 1);
}

TEST_F(TextQuadTest, PasswordsShowStarsAndKeepTheirText) {
  Run("t.password = true; t.text = 'ab'");
  const std::vector<DrawnImage> glyphs = Glyphs();
  ASSERT_EQ(glyphs.size(), 2u);
  const GCore::Image* star = text->GetGlyph('*', 1);
  EXPECT_FLOAT_EQ(glyphs[0].u, star->u);
  EXPECT_FLOAT_EQ(glyphs[1].u, star->u);
  EXPECT_EQ(Eval("t.text"), "ab");
}

TEST_F(TextQuadTest, SelectionAndCaret) {
  Run("t.text = 'abc'; t.selectFrom, t.selectTo = 1, 2");
  std::vector<DrawnImage> drawn = Draw();
  // a, the selection's rectangle, b over it, c, then the caret at c.
  ASSERT_EQ(drawn.size(), 5u);
  EXPECT_EQ(drawn[1].texture->id, kWhiteImage);
  EXPECT_FLOAT_EQ(drawn[1].left, drawn[2].left);
  EXPECT_NEAR(drawn[1].r, 0, 1e-3) << "the second text colour";
  EXPECT_EQ(drawn[3].texture->id, kWhiteImage);
  EXPECT_FLOAT_EQ(drawn[3].left, drawn[4].left) << "the caret before element 2";
  EXPECT_FLOAT_EQ(drawn[3].right - drawn[3].left, 2);

  Run("t.selectFrom, t.selectTo = 3, 3; t.selectionColor = 0xFF");
  drawn = Draw();
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_FLOAT_EQ(drawn[3].left, BlockLeft() + Advance('a') + Advance('b') + Advance('c'))
      << "behind the last glyph";
  Run("t.text = ''");
  drawn = Draw();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_FLOAT_EQ(drawn[0].left, BlockLeft()) << "with no text at the block's start";
}

TEST_F(TextQuadTest, MeasuringLinesAndIndices) {
  const float a = Advance('a');
  Run("t.text = 'aaaa'");
  EXPECT_FLOAT_EQ(std::stof(Eval("t.measure(0)")), 4 * a);
  const float line = std::max(16.0f, text->GetGlyph('a', 1)->height);
  Run("t.lineSpacing = 5");
  EXPECT_FLOAT_EQ(std::stof(Eval("t.measure(" + std::to_string(static_cast<int>(2.5f * a)) + ")")), 2 * line + 5);

  Run("t.lineSpacing = 0; t.text = 'ab[br]cd'");
  text->LayoutLines(0);
  const std::pair<int, int> lineOf[] = {{0, 0}, {2, 0}, {3, 1}, {4, 1}, {9, 1}};
  for (auto [element, expected] : lineOf) {
    EXPECT_EQ(Eval("t.getLineOf(" + std::to_string(element) + ")"), std::to_string(expected)) << element;
  }
  const float first = BlockTop() - 1;
  const float second = BlockTop() - text->lines[0].height - 1;
  const float left = BlockLeft();
  struct Case {
    float x, y;
    int index;
  } indices[] = {
      {left + 0.4f * Advance('a'), first, 0}, {left + 0.6f * Advance('a'), first, 1},
      {left + 200, first, 2},  // before the line feed
      {left, second, 3},       {left + 200, second, 5},
      {left + 200, BlockTop() + 5, 0},  // above the text
      {left + 200, -1000, 5},           // below it: the last line
  };
  for (const Case& c : indices) {
    EXPECT_EQ(text->GetCharIndexAt(c.x, c.y), c.index) << c.x << ", " << c.y;
  }
}

TEST_F(TextQuadTest, LinksAnswerTheirCallbacks) {
  Run(R"(
    t.mouseEnabled = true
    hovered, clicked = {}, {}
    t.setCallback('hover', function(link) hovered[#hovered + 1] = tostring(link) end)
    t.setCallback('click', function(link) clicked[#clicked + 1] = link end)
    t.setCallback('click', 42)
    t.text = '[a=05]here[/a] and [a=06http://x]there[/a]'
  )");
  text->LayoutLines(0);
  const float y = BlockTop() - 5;
  PointAt(BlockLeft() + 3, y);
  Draw();
  text->Update();
  EXPECT_EQ(Eval("table.concat(hovered, ',')"), "here");
  text->HandleEvent("click", text, nullptr);
  EXPECT_EQ(Eval("table.concat(clicked, ',')"), "here") << "a non-function is ignored";

  const float there = text->MeasureLine(0) - 5;
  PointAt(BlockLeft() + there, y);
  Draw();
  text->Update();
  PointAt(BlockLeft() + there, y - 200);
  Draw();
  text->Update();
  text->Update();
  EXPECT_EQ(Eval("table.concat(hovered, ',')"), "here,http://x,nil") << "once per change";
  text->HandleEvent("click", text, nullptr);
  EXPECT_EQ(Eval("#clicked"), "1") << "no click without a link";
}

TEST_F(TextQuadTest, HoveredLinksAreUnderlined) {
  Run("t.mouseEnabled = true; t.setCallback('click', function() end); t.text = '[a=05]ab[/a]c'");
  text->LayoutLines(0);
  PointAt(BlockLeft() + 2, BlockTop() - 5);
  const std::vector<DrawnImage> drawn = Draw();
  ASSERT_EQ(drawn.size(), 5u) << "a, its line, b, its line, c";
  EXPECT_EQ(drawn[1].texture->id, kWhiteImage);
  EXPECT_FLOAT_EQ(drawn[1].top - drawn[1].bottom, 2);
  EXPECT_FLOAT_EQ(drawn[1].top, drawn[0].bottom);
}

TEST_F(TextQuadTest, TypewriterRevealsByTheFrameTime) {
  Run("t.typeSpeed = 10; t.text = 'abc'");
  EXPECT_FLOAT_EQ(text->typed, 3);
  EXPECT_EQ(Glyphs().size(), 0u);
  Step(100);
  EXPECT_EQ(Glyphs().size(), 1u);
  Step(150);
  EXPECT_EQ(Glyphs().size(), 2u);
  Step(1000);
  EXPECT_EQ(Glyphs().size(), 3u);
  EXPECT_FLOAT_EQ(text->typed, 0);
  Run("t.text = 'abc'");
  EXPECT_FLOAT_EQ(text->typed, 3) << "the same text again restarts the typewriter";
}

TEST_F(TextQuadTest, TypewriterTagsWaitAndChangeTheSpeedOnce) {
  // Elements: a, wait, CR, b, speed, CR, c, d.
  Run("t.text = 'a[wt=100]b[sp=1000]cd'");
  EXPECT_FLOAT_EQ(text->typeSpeed, 50) << "a typewriter tag starts the typewriter";
  Step(20);  // 50 a second: one element, and the wait right behind it acts
  EXPECT_EQ(Glyphs().size(), 1u);
  EXPECT_EQ(text->typewriterWait, 100);
  for (int i = 0; i < 6; ++i) {
    Step(20);
    EXPECT_EQ(Glyphs().size(), 1u) << "waiting " << i;
  }
  Step(20);
  EXPECT_EQ(Glyphs().size(), 2u);
  EXPECT_FLOAT_EQ(text->typeSpeed, 1000) << "the speed tag behind b acted";
  Step(20);
  EXPECT_EQ(Glyphs().size(), 4u);
}

int g_dialogSounds = 0;

TEST_F(TextQuadTest, TheDialogSoundPlaysWhileTextAppearsAndThenFallsQuiet) {
  g_dialogSounds = 0;
  GCore::g_dialogSound = [] { ++g_dialogSounds; };
  // 50 elements a second over 20 ms frames: one element a frame.
  Run("t.typeSpeed = 50; t.text = 'abc'");
  std::vector<size_t> shown;
  for (int frame = 0; frame < 10; ++frame) {
    Step(20);
    shown.push_back(Glyphs().size());
  }
  GCore::g_dialogSound = nullptr;
  EXPECT_EQ(shown, (std::vector<size_t>{1, 2, 3, 3, 3, 3, 3, 3, 3, 3}));
  EXPECT_EQ(g_dialogSounds, 3) << "once for each step that revealed text, never after the last";
}

TEST_F(TextQuadTest, BrokenTextsAndDeepMarkupDrawWithoutHarm) {
  const char* texts[] = {
      "ab\xE4\xB8",          // cut in a UTF-8 sequence
      "\xFF\xFE[\xC3",      // bytes that begin no sequence
      "[tb=12",              // tags cut short
      "[a=05link",
      "[im=51050001",
      "[wt=",
  };
  for (const char* broken : texts) {
    text->SetText(broken);
    Draw();
  }
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "[02]";
  deep += "deep";
  for (int i = 0; i < 10000; ++i) deep += "[/0]";
  text->SetText(deep.c_str());
  EXPECT_EQ(Glyphs().size(), 4u);
  EXPECT_GT(text->MeasureLine(0), 0);
}

TEST_F(TextQuadTest, TenThousandCharactersAreLaidOutOnce) {
  Run("t.wrap = true; t.text = string.rep('abc ', 2500)");
  Draw();
  ASSERT_GT(text->lines.size(), 10u);
  // A mark that only a new layout would wipe out.
  text->lines[0].height = 12345;
  Draw();
  Run("t.x = t.x + 10; t.color = 0xFF0000");
  Draw();
  EXPECT_EQ(text->lines[0].height, 12345) << "moving or colouring the text needs no layout";
  Run("t.width = 200");
  Draw();
  EXPECT_NE(text->lines[0].height, 12345) << "a new width does";
}

TEST_F(TextQuadTest, TextsFromIdsAndFromDbEval) {
  manager->GetProject(1)->texts->SetText(0x30010001, "hello");
  Run("t.textId = 0x30010001");
  EXPECT_EQ(text->plain, "hello");
  EXPECT_EQ(Eval("t.text"), "nil") << "a text from an id has no source text";
  EXPECT_EQ(Eval("t.textId"), std::to_string(0x30010001));
  Run("t.textId = 0");
  EXPECT_EQ(text->plain, "");

  Run("t.text = 'x[db=1]'");
  EXPECT_EQ(text->ElementCount(), 0) << "no DB_EVAL: nothing";
  Run("function DB_EVAL(s) return 'evaluated ' .. #s end; t.text = 'y[db=1]'");
  EXPECT_EQ(text->plain, "evaluated 7");
  Run("function DB_EVAL(s) error('bad') end; t.text = 'z[db=1]'");
  EXPECT_EQ(text->plain, "") << "an error gives the empty text";
  EXPECT_EQ(Eval("t.text"), "z[db=1]");
}

TEST_F(TextQuadTest, GlyphImagesAndDigitStrips) {
  // A glyph image set: the image of (style << 8 | font id's upper bits | code).
  AddImage(0x51050141, 7, 9);  // style 1, 'A'
  Run("t.font = 0x51050000; t.text = 'AB'");
  EXPECT_EQ(text->lineHeight, 16) << "no image for the font id itself";
  std::vector<DrawnImage> drawn = Draw();
  ASSERT_EQ(drawn.size(), 1u) << "'B' has no image";
  EXPECT_FLOAT_EQ(drawn[0].right - drawn[0].left, 7);

  // A strip of the ten digits: each a tenth of the image.
  AddImage(0x5105D001, 100, 12);
  Run("t.font = 0x5105D001; t.text = '07x'");
  EXPECT_EQ(text->lineHeight, 12);
  drawn = Draw();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_FLOAT_EQ(drawn[0].right - drawn[0].left, 10);
  EXPECT_FLOAT_EQ(drawn[1].u, 0.7f);
}

TEST_F(TextQuadTest, ScriptMembers) {
  struct Case {
    const char* member;
    const char* assigned;
    const char* read;
  } cases[] = {
      {"password", "1", "true"},      {"wrap", "true", "true"},        {"readOnly", "false", "false"},
      {"align", "263", "7"},          {"letterSpacing", "3.7", "3"},   {"lineSpacing", "-2", "-2"},
      {"lineHeight", "30", "30"},     {"margin", "4", "4"},            {"maxBytes", "10", "10"},
      {"typed", "2.5", "2.5"},        {"typeSpeed", "0", "0.0"},       {"selectionColor", "0xFF00FF", "16711935"},
      {"style", "200", "-56"},        {"selectFrom", "1", "1"},        {"selectTo", "2", "2"},
      {"textWidth", "12.5", "12.5"},  {"textHeight", "7", "7.0"},      {"font", "0x60100000", "1611661312"},
      {"text", "'hi'", "hi"},         {"text", "12", "12"},
  };
  for (const Case& c : cases) {
    Run(std::string("t.") + c.member + " = " + c.assigned);
    EXPECT_EQ(Eval(std::string("t.") + c.member), c.read) << c.member;
  }
  Run("t.font = 0x60200000");
  EXPECT_EQ(text->lineHeight, 32) << "a glyph sheet gives its pixel height";
  Run("t.text = 'abc'; t.selectFrom, t.selectTo = 2, 1");
  EXPECT_EQ(Eval("t.getSelectionStart()"), "1");
  EXPECT_EQ(Eval("t.getSelectionEnd()"), "2");
  EXPECT_EQ(Eval("t.layout(0)"), "false");
  EXPECT_EQ(Eval("t.visible"), "true") << "the entity's members answer too";
  EXPECT_EQ(Eval("t.nothing"), "nil");
}

TEST_F(TextQuadTest, CopiesKeepTheTextAndItsSettings) {
  Run(R"(
    t.wrap, t.password, t.letterSpacing, t.style = true, true, 2, 3
    t.setCallback('click', function() end)
    t.text = '[02]copy me'
  )");
  auto* copy = static_cast<TextQuad*>(GCore::ClassFactory()[&TextQuad::classInfo](L, 0));
  kept.emplace_back(copy);
  copy->CopyFrom(text);
  SetGlobal("c", copy);
  EXPECT_EQ(Eval("c.text"), "[02]copy me");
  EXPECT_EQ(Eval("c.wrap and c.password and c.letterSpacing == 2 and c.style == 3"), "true");
  EXPECT_EQ(copy->plain, text->plain);
}

}  // namespace
