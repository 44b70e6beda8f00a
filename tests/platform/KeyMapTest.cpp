#include <gtest/gtest.h>

#include "platform/KeyMap.h"
#include "platform/Messages.h"

namespace {

struct KeyCase {
  SDL_Keycode sym;
  SDL_Scancode scancode;
  uint16_t mod;
  uint32_t expected;
};

SDL_Keysym Keysym(const KeyCase& c) {
  SDL_Keysym keysym{};
  keysym.sym = c.sym;
  keysym.scancode = c.scancode;
  keysym.mod = c.mod;
  return keysym;
}

TEST(KeyMap, UsLayoutKeysGiveWindowsCodes) {
  const KeyCase cases[] = {
      {SDLK_a, SDL_SCANCODE_A, KMOD_NONE, 'A'},
      {SDLK_z, SDL_SCANCODE_Z, KMOD_SHIFT, 'Z'},
      {SDLK_0, SDL_SCANCODE_0, KMOD_NONE, '0'},
      {SDLK_9, SDL_SCANCODE_9, KMOD_NONE, '9'},
      {SDLK_F1, SDL_SCANCODE_F1, KMOD_NONE, 0x70},
      {SDLK_F12, SDL_SCANCODE_F12, KMOD_NONE, 0x7B},
      {SDLK_F13, SDL_SCANCODE_F13, KMOD_NONE, 0x7C},
      {SDLK_F24, SDL_SCANCODE_F24, KMOD_NONE, 0x87},
      {SDLK_LEFT, SDL_SCANCODE_LEFT, KMOD_NONE, 37},
      {SDLK_UP, SDL_SCANCODE_UP, KMOD_NONE, 38},
      {SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_NONE, 39},
      {SDLK_DOWN, SDL_SCANCODE_DOWN, KMOD_NONE, 40},
      {SDLK_HOME, SDL_SCANCODE_HOME, KMOD_NONE, 36},
      {SDLK_END, SDL_SCANCODE_END, KMOD_NONE, 35},
      {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, KMOD_NONE, 33},
      {SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN, KMOD_NONE, 34},
      {SDLK_INSERT, SDL_SCANCODE_INSERT, KMOD_NONE, 45},
      {SDLK_DELETE, SDL_SCANCODE_DELETE, KMOD_NONE, 46},
      {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, KMOD_NONE, 8},
      {SDLK_TAB, SDL_SCANCODE_TAB, KMOD_NONE, 9},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_NONE, 13},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, KMOD_NONE, 13},
      {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE, 27},
      {SDLK_SPACE, SDL_SCANCODE_SPACE, KMOD_NONE, 32},
      {SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK, KMOD_NONE, 0x14},
      {SDLK_PAUSE, SDL_SCANCODE_PAUSE, KMOD_NONE, 0x13},
      {SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN, KMOD_NONE, 0x2C},
      {SDLK_NUMLOCKCLEAR, SDL_SCANCODE_NUMLOCKCLEAR, KMOD_NONE, 0x90},
      {SDLK_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK, KMOD_NONE, 0x91},
      // Both sides of a modifier report the generic code.
      {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_NONE, 0x10},
      {SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, KMOD_NONE, 0x10},
      {SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_NONE, 0x11},
      {SDLK_RCTRL, SDL_SCANCODE_RCTRL, KMOD_NONE, 0x11},
      {SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE, 0x12},
      {SDLK_RALT, SDL_SCANCODE_RALT, KMOD_NONE, 0x12},
      {SDLK_LGUI, SDL_SCANCODE_LGUI, KMOD_NONE, 0x5B},
      {SDLK_RGUI, SDL_SCANCODE_RGUI, KMOD_NONE, 0x5C},
      {SDLK_APPLICATION, SDL_SCANCODE_APPLICATION, KMOD_NONE, 0x5D},
      // Punctuation: the OEM codes of a US layout.
      {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, KMOD_NONE, 0xBA},
      {SDLK_EQUALS, SDL_SCANCODE_EQUALS, KMOD_NONE, 0xBB},
      {SDLK_COMMA, SDL_SCANCODE_COMMA, KMOD_NONE, 0xBC},
      {SDLK_MINUS, SDL_SCANCODE_MINUS, KMOD_NONE, 0xBD},
      {SDLK_PERIOD, SDL_SCANCODE_PERIOD, KMOD_NONE, 0xBE},
      {SDLK_SLASH, SDL_SCANCODE_SLASH, KMOD_NONE, 0xBF},
      {SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, KMOD_NONE, 0xC0},
      {SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, KMOD_NONE, 0xDB},
      {SDLK_BACKSLASH, SDL_SCANCODE_BACKSLASH, KMOD_NONE, 0xDC},
      {SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET, KMOD_NONE, 0xDD},
      {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, KMOD_NONE, 0xDE},
      // Keypad operators do not depend on Num Lock.
      {SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, KMOD_NONE, 0x6A},
      {SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, KMOD_NONE, 0x6B},
      {SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, KMOD_NONE, 0x6D},
      {SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE, KMOD_NONE, 0x6F},
      // Keypad digits: numbers with Num Lock, navigation without.
      {SDLK_KP_0, SDL_SCANCODE_KP_0, KMOD_NUM, 0x60},
      {SDLK_KP_5, SDL_SCANCODE_KP_5, KMOD_NUM, 0x65},
      {SDLK_KP_9, SDL_SCANCODE_KP_9, KMOD_NUM, 0x69},
      {SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, KMOD_NUM, 0x6E},
      {SDLK_KP_0, SDL_SCANCODE_KP_0, KMOD_NONE, 45},
      {SDLK_KP_1, SDL_SCANCODE_KP_1, KMOD_NONE, 35},
      {SDLK_KP_5, SDL_SCANCODE_KP_5, KMOD_NONE, 0x0C},
      {SDLK_KP_8, SDL_SCANCODE_KP_8, KMOD_NONE, 38},
      {SDLK_KP_9, SDL_SCANCODE_KP_9, KMOD_NONE, 33},
      {SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, KMOD_NONE, 46},
      // Keys Windows has no code for.
      {SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, KMOD_NONE, 0},
      {SDLK_KP_EQUALSAS400, SDL_SCANCODE_KP_EQUALSAS400, KMOD_NONE, 0},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(GCore::VirtualKeyFromSdl(Keysym(c)), c.expected)
        << "key " << SDL_GetKeyName(c.sym) << " (0x" << std::hex << c.sym << ")";
  }
}

TEST(KeyMap, OtherLayoutsFollowTheSymbolThenThePosition) {
  const KeyCase cases[] = {
      // AZERTY: the key at the US 'Q' position types 'a' and is VK 'A'.
      {SDLK_a, SDL_SCANCODE_Q, KMOD_NONE, 'A'},
      // AZERTY digit row types '&' at the '1' position: the position decides.
      {SDLK_AMPERSAND, SDL_SCANCODE_1, KMOD_NONE, '1'},
      // German: the key right of 'L' types U+00F6, at the US ';' position.
      {0xF6, SDL_SCANCODE_SEMICOLON, KMOD_NONE, 0xBA},
      // German: '-' sits at the US '/' position and is VK_OEM_MINUS.
      {SDLK_MINUS, SDL_SCANCODE_SLASH, KMOD_NONE, 0xBD},
      // The extra key of ISO keyboards.
      {SDLK_LESS, SDL_SCANCODE_NONUSBACKSLASH, KMOD_NONE, 0xE2},
      // Cyrillic letters follow the position.
      {0x0444, SDL_SCANCODE_A, KMOD_NONE, 'A'},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(GCore::VirtualKeyFromSdl(Keysym(c)), c.expected)
        << "symbol 0x" << std::hex << c.sym << " at scancode " << std::dec << c.scancode;
  }
}

}  // namespace
