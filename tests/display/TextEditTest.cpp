// Editing text objects: typed text, control characters and editing keys at
// the caret; and the input layer around it: a press starts editing, typed
// characters (single bytes, double-byte pairs, IME characters) reach the
// edited text, other presses end it, and hidden texts take nothing.
#include "TextFixture.h"
#include "game/Input.h"
#include "display/Entity.h"
#include "platform/Messages.h"

namespace {

using GCore::EngineInput;

class TextEditTest : public TextFixture {};

TEST_F(TextEditTest, InsertionsAndDeletionsAtTheCaret) {
  struct Case {
    const char* text;
    int from, to;
    const char* input;
    const char* result;
    int caret;
  } cases[] = {
      {"abc", 3, 3, "x", "abcx", 4},
      {"abc", 0, 0, "x", "xabc", 1},
      {"abcde", 2, 4, "a", "abae", 3},  // replaces the selection
      {"abcde", 4, 2, "a", "abae", 3},  // whichever end is first
      {"abc", 3, 3, "\b", "ab", 2},
      {"abc", 0, 0, "\b", "abc", 0},  // nothing before the start
      {"abcde", 2, 4, "\b", "abe", 2},  // the selection alone goes
      {"abc", 1, 1, "\x7f", "ac", 1},
      {"abc", 3, 3, "\x7f", "abc", 3},  // nothing after the end
      {"abcde", 1, 3, "\x7f", "ade", 1},
      {"abc", 1, 1, "\r", "abc", 1},
      {"abc", 1, 1, "\x1b", "abc", 1},
      {"abc", 1, 1, "\x16", "abc", 1},  // no clipboard without a window system
      {"\xE4\xB8\xAD\xE6\x96\x87", 1, 1, "\b", "\xE6\x96\x87", 0},
      {"\xE4\xB8\xAD", 1, 1, "\xC3\xA9", "\xE4\xB8\xAD\xC3\xA9", 2},
      {"a[br]b", 3, 3, "\b", "a\n", 2},
      {"ab", 2, 2, "[br]", "ab\n", 3},  // markup typed into a field is parsed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " [" << c.from << ", " << c.to << "] + " << c.input);
    text->SetText(c.text);
    text->selectFrom = c.from;
    text->selectTo = c.to;
    text->InsertText(c.input);
    EXPECT_EQ(text->plain, c.result);
    EXPECT_EQ(text->selectFrom, c.caret);
    EXPECT_EQ(text->selectTo, c.caret);
  }
}

TEST_F(TextEditTest, EditingKeysMoveTheCaret) {
  struct Case {
    int from, to;
    uint32_t key;
    int caret;
  } cases[] = {
      {1, 1, GCore::VK_LEFT, 0},  {0, 0, GCore::VK_LEFT, 0},  {1, 2, GCore::VK_LEFT, 0},
      {1, 1, GCore::VK_RIGHT, 2}, {3, 3, GCore::VK_RIGHT, 3}, {1, 2, GCore::VK_RIGHT, 3},
      {1, 1, GCore::VK_END, 3},   {2, 2, GCore::VK_HOME, 0},  {1, 1, GCore::VK_UP, 1},
  };
  for (const Case& c : cases) {
    text->SetText("abc");
    text->selectFrom = c.from;
    text->selectTo = c.to;
    text->HandleEditKey(c.key);
    EXPECT_EQ(text->selectFrom, c.caret) << c.key << " from " << c.from;
    EXPECT_EQ(text->selectTo, c.caret) << c.key << " from " << c.from;
  }
  text->selectFrom = text->selectTo = 1;
  text->HandleEditKey(GCore::VK_DELETE);
  EXPECT_EQ(text->plain, "ac");
}

// A text field on the stage, hit by the pointer over its box.
class TextInputTest : public TextFixture {
 protected:
  void SetUp() override {
    TextFixture::SetUp();
    stage->AddChild(text, 0);
    Run("t.width, t.height = 300, 100; t.mouseEnabled = true; t.readOnly = false; t.text = 'abc'");
    Run("t.c_log = { click = function() log[#log + 1] = 'click' end }");
    text->UpdateWorldTransform();
    text->LayoutLines(0);
    text->bounds = {text->worldMatrix->tx - 150, text->worldMatrix->ty - 50, 300, 100};
  }

  // Presses and releases the left button at a point of the text's own coordinates.
  void ClickAt(float x, float y) {
    PointAt(x, y);
    GCore::MoveTo(game->mousePosition);
    EngineInput().OnMouseButton(0, 0);
    EngineInput().OnMouseButton(0, 1);
  }
  void Type(const std::string& bytes) {
    for (char c : bytes) EngineInput().OnChar(static_cast<uint8_t>(c));
  }
};

TEST_F(TextInputTest, APressStartsEditingWithTheCaretUnderThePointer) {
  ClickAt(BlockLeft() + 1, BlockTop() - 5);
  EXPECT_EQ(manager->editing.Get(), text);
  EXPECT_EQ(text->selectTo, 0);
  EXPECT_EQ(manager->inputFocus.Get(), text) << "the release makes it the input focus";
  EXPECT_EQ(TakeLog(), "click");
  ClickAt(BlockLeft() + 200, BlockTop() - 5);
  EXPECT_EQ(text->selectTo, 3) << "right of the text: behind its end";

  Type("xy\b");
  EXPECT_EQ(text->plain, "abcx");
  EngineInput().OnKeyDown(GCore::VK_HOME);
  Type("0");
  EXPECT_EQ(text->plain, "0abcx");
}

TEST_F(TextInputTest, DoubleByteCharactersArriveAsOneCharacter) {
  ClickAt(BlockLeft() + 200, BlockTop() - 5);
  Type("\xD6\xD0");  // GBK for U+4E2D
  EngineInput().OnImeChar(0xCEC4);  // GBK for U+6587
  Type("\xFF\x01");  // no GBK character: dropped
  EXPECT_EQ(text->plain, "abc\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(text->selectTo, 5);
}

TEST_F(TextInputTest, ReadOnlyHiddenAndUneditedTextsTakeNothing) {
  Type("x");
  EXPECT_EQ(text->plain, "abc") << "nothing is being edited";
  ClickAt(BlockLeft() + 200, BlockTop() - 5);
  text->visible = false;
  Type("x");
  EngineInput().OnKeyDown(GCore::VK_HOME);
  EXPECT_EQ(text->plain, "abc");
  EXPECT_EQ(text->selectTo, 3);
  text->visible = true;

  // A press elsewhere ends the editing and takes the caret away.
  PointAt(1000, 1000);
  GCore::MoveTo(game->mousePosition);
  EngineInput().OnMouseButton(0, 0);
  EXPECT_EQ(manager->editing.Get(), nullptr);
  EXPECT_EQ(text->selectTo, -1);
  Type("x");
  EXPECT_EQ(text->plain, "abc");

  Run("t.readOnly = true");
  ClickAt(BlockLeft() + 200, BlockTop() - 5);
  EXPECT_EQ(manager->editing.Get(), nullptr);
}

TEST_F(TextInputTest, ScriptsStartEditingAndNameTheInputFocus) {
  PointAt(BlockLeft() + 200, BlockTop() - 5);
  game->pressPosition = game->mousePosition;
  Run("g.SetEditing(t)");
  EXPECT_EQ(manager->editing.Get(), text);
  EXPECT_EQ(text->selectTo, 3);
  Run("g.SetEditing(g.Entity())");
  EXPECT_EQ(manager->editing.Get(), text) << "only text objects are edited";
  Run("g.StartInput(t, 'ignored')");
  EXPECT_EQ(manager->inputFocus.Get(), text);
  game->SetInputText("replaced");
  EXPECT_EQ(text->plain, "replaced");
  Run("g.StartInput(nil)");
  EXPECT_EQ(manager->inputFocus.Get(), nullptr);
}

}  // namespace
