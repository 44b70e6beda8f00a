// The demo's text field under real X input: a click gives it the caret,
// xdotool types ASCII and non-ASCII text, Backspace and the arrows edit it,
// the demo's script reads the text back exactly, and the window shows the
// glyphs where the field and the title are.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <signal.h>

#include <filesystem>
#include <iterator>

#include "ProgramRun.h"

namespace {

// The keysyms of the characters typed below: Unicode keysyms, and eacute.
constexpr KeySym kTypedKeysyms[] = {0x1004E2D, 0x1006587, 0xE9};

// Gives each keysym a keycode of its own on the test's X server. Without
// this, xdotool binds a spare keycode for the moment of each keystroke, and
// a program that reads the event after the binding is undone sees no
// character.
bool MapTypedKeysyms() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  int first = 0, last = 0, perKeycode = 0;
  XDisplayKeycodes(display, &first, &last);
  KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perKeycode);
  size_t mapped = 0;
  for (int keycode = last; keycode >= first && mapped < std::size(kTypedKeysyms); --keycode) {
    bool empty = true;
    for (int i = 0; i < perKeycode; ++i) empty = empty && map[(keycode - first) * perKeycode + i] == NoSymbol;
    bool present = false;
    for (int i = 0; i < perKeycode; ++i) present = present || map[(keycode - first) * perKeycode + i] == kTypedKeysyms[mapped];
    if (present) {
      ++mapped;
      continue;
    }
    if (!empty) continue;
    KeySym both[2] = {kTypedKeysyms[mapped], kTypedKeysyms[mapped]};
    XChangeKeyboardMapping(display, keycode, 2, both, 1);
    ++mapped;
  }
  XFree(map);
  XSync(display, False);
  XCloseDisplay(display);
  return mapped == std::size(kTypedKeysyms);
}

TEST(DemoText, TypedTextReachesTheFieldAndShows) {
  if (!e2e::EnsureDisplay()) GTEST_SKIP() << "Xvfb is not available";
  ASSERT_TRUE(MapTypedKeysyms());
  e2e::GameRoot root;
  std::filesystem::copy(QUARVELIN_DEMO_ROOT "/loader", root.Path("loader"), std::filesystem::copy_options::recursive);

  bool typed = false;
  bool captured = false;
  unsigned long window = 0;
  const e2e::RunResult run = e2e::Run(root, {}, 90, [&](pid_t program) {
    window = e2e::FindWindow("quarvelin demo", 30000);
    if (!window || !e2e::WaitForLog(root, "demo: ready", 30000)) {
      kill(program, SIGKILL);
      return;
    }
    const std::string id = std::to_string(window);
    // The field spans window x 314 to 710 and y 454 to 494; its text starts at its left.
    typed = e2e::RunCommand({"xdotool", "windowfocus", "--sync", id, "mousemove", "--window", id, "330", "474",
                             "click", "1"}) &&
            // xdotool reads its text in its locale's encoding, whatever the test's is.
            e2e::RunCommand({"env", "LC_ALL=C.UTF-8", "xdotool", "type", "Hello \xE4\xB8\xAD\xE6\x96\x87\xC3\xA9"}) &&
            e2e::WaitForLog(root, "demo: field Hello \xE4\xB8\xAD\xE6\x96\x87\xC3\xA9", 10000) &&
            e2e::RunCommand({"xdotool", "key", "BackSpace", "Left", "Left"}) &&
            e2e::RunCommand({"xdotool", "type", "X"}) &&
            e2e::WaitForLog(root, "demo: field Hello X\xE4\xB8\xAD\xE6\x96\x87\n", 10000);
    captured = e2e::CaptureWindow(window, root.Path("shot.png"));
    e2e::RequestClose(window);
  });
  ASSERT_NE(window, 0u) << run.output;
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(typed) << run.log;
  const std::vector<std::string> states = e2e::LinesWith(run.log, "demo: field");
  ASSERT_FALSE(states.empty()) << run.log;
  EXPECT_EQ(states.back(), "demo: field Hello X\xE4\xB8\xAD\xE6\x96\x87") << run.log;

  ASSERT_TRUE(captured);
  e2e::Picture shot;
  ASSERT_TRUE(shot.Load(root.Path("shot.png")));
  ASSERT_EQ(shot.Width(), 1024);
  auto bright = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
  // The box's colour 0x203040 holds red in its low byte.
  auto fieldColour = [](int r, int g, int b) { return r == 0x40 && g == 0x30 && b == 0x20; };
  EXPECT_GT(shot.Count(316, 458, 460, 490, bright), 100) << "the typed text in the field";
  EXPECT_EQ(shot.Count(520, 458, 700, 490, fieldColour), 180 * 32) << "nothing past its end";
  auto gold = [](int r, int g, int b) { return r > 200 && g > 150 && b < 120; };
  EXPECT_GT(shot.Count(300, 40, 560, 100, gold), 200) << "the title's first word";
}

}  // namespace
