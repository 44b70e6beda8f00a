#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

#include "platform/SdlEvents.h"

namespace GCore {

bool operator==(const Message& a, const Message& b) {
  return a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
}

void PrintTo(const Message& m, std::ostream* os) {
  *os << "{0x" << std::hex << m.message << ", 0x" << m.wParam << ", 0x" << m.lParam << "}";
}

}  // namespace GCore

namespace {

using GCore::Message;
using Messages = std::vector<Message>;
namespace G = GCore;

Messages Translate(const SDL_Event& event, const G::EventContext& context = {}) {
  Messages out;
  G::TranslateSdlEvent(event, context, out);
  return out;
}

SDL_Event Key(Uint32 type, SDL_Keycode sym, SDL_Scancode scancode, uint16_t mod = KMOD_NONE,
              bool repeat = false) {
  SDL_Event event{};
  event.key.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat ? 1 : 0;
  event.key.keysym.sym = sym;
  event.key.keysym.scancode = scancode;
  event.key.keysym.mod = mod;
  return event;
}

SDL_Event Text(const char* utf8) {
  SDL_Event event{};
  event.text.type = SDL_TEXTINPUT;
  std::strncpy(event.text.text, utf8, sizeof(event.text.text) - 1);
  return event;
}

SDL_Event Window(Uint8 windowEvent, int data1 = 0, int data2 = 0) {
  SDL_Event event{};
  event.window.type = SDL_WINDOWEVENT;
  event.window.event = windowEvent;
  event.window.data1 = data1;
  event.window.data2 = data2;
  return event;
}

SDL_Event Button(Uint32 type, Uint8 button, int x, int y) {
  SDL_Event event{};
  event.button.type = type;
  event.button.button = button;
  event.button.x = x;
  event.button.y = y;
  return event;
}

SDL_Event Wheel(int y, Uint32 direction = SDL_MOUSEWHEEL_NORMAL, int x = 0) {
  SDL_Event event{};
  event.wheel.type = SDL_MOUSEWHEEL;
  event.wheel.x = x;
  event.wheel.y = y;
  event.wheel.direction = direction;
  event.wheel.mouseX = 10;
  event.wheel.mouseY = 20;
  return event;
}

SDL_Event OfType(Uint32 type) {
  SDL_Event event{};
  event.type = type;
  return event;
}

constexpr intptr_t kDown = 1;
constexpr intptr_t kRepeat = 1 | G::KEY_PREVIOUS_STATE_BIT;
constexpr intptr_t kUp = 1 | G::KEY_PREVIOUS_STATE_BIT | G::KEY_TRANSITION_BIT;
constexpr intptr_t kAlt = G::KEY_ALT_DOWN_BIT;

TEST(SdlEvents, KeysBecomeKeyMessagesWithTheirControlCharacters) {
  struct Case {
    const char* what;
    SDL_Event event;
    Messages expected;
  };
  const Case cases[] = {
      {"plain letter", Key(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A), {{G::WM_KEYDOWN, 'A', kDown}}},
      {"release", Key(SDL_KEYUP, SDLK_a, SDL_SCANCODE_A), {{G::WM_KEYUP, 'A', kUp}}},
      {"held key repeats",
       Key(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, KMOD_NONE, true),
       {{G::WM_KEYDOWN, 'A', kRepeat}}},
      {"insert", Key(SDL_KEYDOWN, SDLK_INSERT, SDL_SCANCODE_INSERT), {{G::WM_KEYDOWN, 45, kDown}}},
      {"delete has no character",
       Key(SDL_KEYDOWN, SDLK_DELETE, SDL_SCANCODE_DELETE),
       {{G::WM_KEYDOWN, 46, kDown}}},
      {"backspace",
       Key(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE),
       {{G::WM_KEYDOWN, 8, kDown}, {G::WM_CHAR, 8, kDown}}},
      {"backspace held",
       Key(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, KMOD_NONE, true),
       {{G::WM_KEYDOWN, 8, kRepeat}, {G::WM_CHAR, 8, kRepeat}}},
      {"backspace release", Key(SDL_KEYUP, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE),
       {{G::WM_KEYUP, 8, kUp}}},
      {"tab with shift",
       Key(SDL_KEYDOWN, SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT),
       {{G::WM_KEYDOWN, 9, kDown}, {G::WM_CHAR, 9, kDown}}},
      {"enter",
       Key(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN),
       {{G::WM_KEYDOWN, 13, kDown}, {G::WM_CHAR, 13, kDown}}},
      {"escape",
       Key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE),
       {{G::WM_KEYDOWN, 27, kDown}, {G::WM_CHAR, 27, kDown}}},
      {"ctrl+v pastes",
       Key(SDL_KEYDOWN, SDLK_v, SDL_SCANCODE_V, KMOD_LCTRL),
       {{G::WM_KEYDOWN, 'V', kDown}, {G::WM_CHAR, 22, kDown}}},
      {"ctrl+a",
       Key(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, KMOD_RCTRL),
       {{G::WM_KEYDOWN, 'A', kDown}, {G::WM_CHAR, 1, kDown}}},
      {"ctrl+backspace",
       Key(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, KMOD_LCTRL),
       {{G::WM_KEYDOWN, 8, kDown}, {G::WM_CHAR, 127, kDown}}},
      {"ctrl+enter",
       Key(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LCTRL),
       {{G::WM_KEYDOWN, 13, kDown}, {G::WM_CHAR, 10, kDown}}},
      {"ctrl+[",
       Key(SDL_KEYDOWN, SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, KMOD_LCTRL),
       {{G::WM_KEYDOWN, 0xDB, kDown}, {G::WM_CHAR, 27, kDown}}},
      {"alt pressed", Key(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT),
       {{G::WM_SYSKEYDOWN, 0x12, kDown | kAlt}}},
      {"alt released", Key(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT),
       {{G::WM_SYSKEYUP, 0x12, kUp}}},
      {"alt+f4", Key(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT),
       {{G::WM_SYSKEYDOWN, 0x73, kDown | kAlt}}},
      {"alt+enter",
       Key(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_RALT),
       {{G::WM_SYSKEYDOWN, 13, kDown | kAlt}, {G::WM_SYSCHAR, 13, kDown | kAlt}}},
      {"f10 is a system key", Key(SDL_KEYDOWN, SDLK_F10, SDL_SCANCODE_F10),
       {{G::WM_SYSKEYDOWN, 0x79, kDown}}},
      {"ctrl+alt is AltGr: plain key, no character",
       Key(SDL_KEYDOWN, SDLK_q, SDL_SCANCODE_Q, KMOD_LCTRL | KMOD_RALT),
       {{G::WM_KEYDOWN, 'Q', kDown | kAlt}}},
      {"key without a Windows code", Key(SDL_KEYDOWN, SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Translate(c.event), c.expected) << c.what;
}

TEST(SdlEvents, TextBecomesGbkCharacters) {
  struct Case {
    const char* utf8;
    Messages expected;
  };
  const Case cases[] = {
      {"a", {{G::WM_CHAR, 'a', 1}}},
      {" ", {{G::WM_CHAR, ' ', 1}}},
      // Double-byte characters: lead byte high, trail byte low.
      {"\xE4\xB8\xAD", {{G::WM_IME_CHAR, 0xD6D0, 1}}},                  // U+4E2D
      {"\xEF\xBC\x8C", {{G::WM_IME_CHAR, 0xA3AC, 1}}},                  // U+FF0C fullwidth comma
      {"\xC3\xA9", {{G::WM_IME_CHAR, 0xA8A6, 1}}},                      // U+00E9
      {"a\xE4\xB8\xAD" "b",
       {{G::WM_CHAR, 'a', 1}, {G::WM_IME_CHAR, 0xD6D0, 1}, {G::WM_CHAR, 'b', 1}}},
      // Characters GBK lacks are dropped one by one, the rest kept.
      {"x\xF0\x9F\x98\x80y", {{G::WM_CHAR, 'x', 1}, {G::WM_CHAR, 'y', 1}}},  // U+1F600
      // The euro sign is the lone byte 0x80 in GBK, which would pass for a
      // lead byte: dropped.
      {"\xE2\x82\xAC", {}},
      // Broken UTF-8: the stray bytes go, the rest stays.
      {"\xFFz", {{G::WM_CHAR, 'z', 1}}},
      {"q\xE4\xB8", {{G::WM_CHAR, 'q', 1}}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Translate(Text(c.utf8)), c.expected) << c.utf8;
}

TEST(SdlEvents, FullTextBufferWithoutTerminatorIsSafe) {
  SDL_Event event{};
  event.text.type = SDL_TEXTINPUT;
  std::memset(event.text.text, 'k', sizeof(event.text.text));
  EXPECT_EQ(Translate(event).size(), sizeof(event.text.text));
}

TEST(SdlEvents, MouseMessages) {
  struct Case {
    const char* what;
    SDL_Event event;
    bool swapped;
    Messages expected;
  };
  SDL_Event move{};
  move.motion.type = SDL_MOUSEMOTION;
  move.motion.x = 100;
  move.motion.y = 200;
  SDL_Event moveOutside = move;
  moveOutside.motion.x = -5;
  moveOutside.motion.y = -7;
  const Case cases[] = {
      {"move", move, false, {{G::WM_MOUSEMOVE, 0, G::MakeLParam(100, 200)}}},
      {"move left of and above the window", moveOutside, false,
       {{G::WM_MOUSEMOVE, 0, 0xFFF9FFFB}}},
      {"left press", Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3, 4), false,
       {{G::WM_LBUTTONDOWN, 0, G::MakeLParam(3, 4)}}},
      {"left release", Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 3, 4), false,
       {{G::WM_LBUTTONUP, 0, G::MakeLParam(3, 4)}}},
      {"right press", Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 6), false,
       {{G::WM_RBUTTONDOWN, 0, G::MakeLParam(5, 6)}}},
      {"right release", Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 5, 6), false,
       {{G::WM_RBUTTONUP, 0, G::MakeLParam(5, 6)}}},
      {"middle press", Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 0, 0), false,
       {{G::WM_MBUTTONDOWN, 0, 0}}},
      {"middle release", Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 0, 0), false,
       {{G::WM_MBUTTONUP, 0, 0}}},
      {"side button", Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 0, 0), false, {}},
      // With swapped buttons the X server reports the physical right button as
      // left; the message names the physical button again.
      {"swapped: logical left", Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1), true,
       {{G::WM_RBUTTONDOWN, 0, G::MakeLParam(1, 1)}}},
      {"swapped: logical right", Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 1, 1), true,
       {{G::WM_LBUTTONUP, 0, G::MakeLParam(1, 1)}}},
      {"swapped: middle stays", Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 1), true,
       {{G::WM_MBUTTONDOWN, 0, G::MakeLParam(1, 1)}}},
  };
  for (const Case& c : cases) {
    G::EventContext context;
    context.buttonsSwapped = c.swapped;
    EXPECT_EQ(Translate(c.event, context), c.expected) << c.what;
  }
}

TEST(SdlEvents, WheelNotchesAreSignedDeltasOf120InTheHighWord) {
  struct Case {
    SDL_Event event;
    int delta;  // 0: no message
  };
  const Case cases[] = {
      {Wheel(1), 120},
      {Wheel(-1), -120},
      {Wheel(3), 360},
      {Wheel(1, SDL_MOUSEWHEEL_FLIPPED), -120},
      {Wheel(0, SDL_MOUSEWHEEL_NORMAL, 1), 0},  // horizontal only
      {Wheel(1000), 273 * 120},                 // clamped to 16 bits
  };
  for (const Case& c : cases) {
    const Messages out = Translate(c.event);
    if (c.delta == 0) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, G::WM_MOUSEWHEEL);
    EXPECT_EQ(G::SignedHighWord(out[0].wParam), c.delta);
    EXPECT_EQ(G::LowWord(out[0].wParam), 0);
    EXPECT_EQ(out[0].lParam, G::MakeLParam(10, 20));
  }
}

TEST(SdlEvents, WindowAndApplicationEvents) {
  G::EventContext restored;
  restored.clientWidth = 640;
  restored.clientHeight = 480;
  struct Case {
    const char* what;
    SDL_Event event;
    G::EventContext context;
    Messages expected;
  };
  const Case cases[] = {
      {"resize", Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 768), {},
       {{G::WM_SIZE, G::SIZE_RESTORED, G::MakeLParam(1024, 768)}}},
      {"minimise reports 0 x 0", Window(SDL_WINDOWEVENT_MINIMIZED), {},
       {{G::WM_SIZE, G::SIZE_MINIMIZED, 0}}},
      {"restore reports the size again", Window(SDL_WINDOWEVENT_RESTORED), restored,
       {{G::WM_SIZE, G::SIZE_RESTORED, G::MakeLParam(640, 480)}}},
      {"restore without a known size", Window(SDL_WINDOWEVENT_RESTORED), {}, {}},
      {"close box", Window(SDL_WINDOWEVENT_CLOSE), {}, {{G::WM_CLOSE, 0, 0}}},
      {"moved", Window(SDL_WINDOWEVENT_MOVED, 5, 5), {}, {}},
      {"quit request", OfType(SDL_QUIT), {}, {{G::WM_CLOSE, 0, 0}}},
      {"composition", OfType(SDL_TEXTEDITING), {}, {{G::WM_IME_COMPOSITION, 0, 0}}},
      {"joystick", OfType(SDL_JOYAXISMOTION), {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Translate(c.event, c.context), c.expected) << c.what;
}

}  // namespace
