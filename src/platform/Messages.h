#pragma once
// The window-message vocabulary the engine keeps internally. The window
// procedure sees the Win32 shape: a message id with its Windows value and two
// parameter words, whatever produced them (the SDL adapter in SdlEvents.h, or a
// test posting messages). Values are those of the Windows headers so that code
// written against them reads the same here.
#include <cstdint>

namespace GCore {

// One queued message. wParam is unsigned and lParam signed, both pointer wide.
struct Message {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// The one window procedure; the return value is the message's result.
using WindowProc = intptr_t (*)(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Message ids.
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCHAR = 0x0106;
inline constexpr uint32_t WM_IME_COMPOSITION = 0x010F;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t WM_IME_CHAR = 0x0286;

// wParam of WM_SIZE.
inline constexpr uintptr_t SIZE_RESTORED = 0;
inline constexpr uintptr_t SIZE_MINIMIZED = 1;

// One wheel notch.
inline constexpr int WHEEL_DELTA = 120;

// Parameter packing as the Windows macros do it.
constexpr intptr_t MakeLParam(int low, int high) {
  return static_cast<intptr_t>(static_cast<uint32_t>(low & 0xFFFF) |
                               (static_cast<uint32_t>(high & 0xFFFF) << 16));
}
constexpr uint16_t LowWord(uintptr_t value) { return static_cast<uint16_t>(value & 0xFFFF); }
constexpr uint16_t HighWord(uintptr_t value) { return static_cast<uint16_t>((value >> 16) & 0xFFFF); }
// GET_X_LPARAM / GET_Y_LPARAM / GET_WHEEL_DELTA_WPARAM: signed 16-bit words.
constexpr int SignedLowWord(uintptr_t value) { return static_cast<int16_t>(LowWord(value)); }
constexpr int SignedHighWord(uintptr_t value) { return static_cast<int16_t>(HighWord(value)); }

// Key-message lParam bits (the repeat count is always 1).
inline constexpr intptr_t KEY_ALT_DOWN_BIT = intptr_t{1} << 29;
inline constexpr intptr_t KEY_PREVIOUS_STATE_BIT = intptr_t{1} << 30;
inline constexpr intptr_t KEY_TRANSITION_BIT = intptr_t{1} << 31;

// Windows virtual-key codes. Letters and digits are their upper-case ASCII
// codes ('A' 0x41 ... 'Z' 0x5A, '0' 0x30 ... '9' 0x39).
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_CLEAR = 0x0C;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_CONTROL = 0x11;
inline constexpr uint32_t VK_MENU = 0x12;
inline constexpr uint32_t VK_PAUSE = 0x13;
inline constexpr uint32_t VK_CAPITAL = 0x14;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t VK_PRIOR = 0x21;
inline constexpr uint32_t VK_NEXT = 0x22;
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;
inline constexpr uint32_t VK_SELECT = 0x29;
inline constexpr uint32_t VK_EXECUTE = 0x2B;
inline constexpr uint32_t VK_SNAPSHOT = 0x2C;
inline constexpr uint32_t VK_INSERT = 0x2D;
inline constexpr uint32_t VK_DELETE = 0x2E;
inline constexpr uint32_t VK_HELP = 0x2F;
inline constexpr uint32_t VK_0 = 0x30;
inline constexpr uint32_t VK_A = 0x41;
inline constexpr uint32_t VK_LWIN = 0x5B;
inline constexpr uint32_t VK_RWIN = 0x5C;
inline constexpr uint32_t VK_APPS = 0x5D;
inline constexpr uint32_t VK_SLEEP = 0x5F;
inline constexpr uint32_t VK_NUMPAD0 = 0x60;
inline constexpr uint32_t VK_MULTIPLY = 0x6A;
inline constexpr uint32_t VK_ADD = 0x6B;
inline constexpr uint32_t VK_SEPARATOR = 0x6C;
inline constexpr uint32_t VK_SUBTRACT = 0x6D;
inline constexpr uint32_t VK_DECIMAL = 0x6E;
inline constexpr uint32_t VK_DIVIDE = 0x6F;
inline constexpr uint32_t VK_F1 = 0x70;  // F1 ... F24 are 0x70 ... 0x87
inline constexpr uint32_t VK_NUMLOCK = 0x90;
inline constexpr uint32_t VK_SCROLL = 0x91;
inline constexpr uint32_t VK_BROWSER_BACK = 0xA6;
inline constexpr uint32_t VK_BROWSER_FORWARD = 0xA7;
inline constexpr uint32_t VK_BROWSER_REFRESH = 0xA8;
inline constexpr uint32_t VK_BROWSER_STOP = 0xA9;
inline constexpr uint32_t VK_BROWSER_SEARCH = 0xAA;
inline constexpr uint32_t VK_BROWSER_FAVORITES = 0xAB;
inline constexpr uint32_t VK_BROWSER_HOME = 0xAC;
inline constexpr uint32_t VK_VOLUME_MUTE = 0xAD;
inline constexpr uint32_t VK_VOLUME_DOWN = 0xAE;
inline constexpr uint32_t VK_VOLUME_UP = 0xAF;
inline constexpr uint32_t VK_MEDIA_NEXT_TRACK = 0xB0;
inline constexpr uint32_t VK_MEDIA_PREV_TRACK = 0xB1;
inline constexpr uint32_t VK_MEDIA_STOP = 0xB2;
inline constexpr uint32_t VK_MEDIA_PLAY_PAUSE = 0xB3;
inline constexpr uint32_t VK_LAUNCH_MAIL = 0xB4;
inline constexpr uint32_t VK_OEM_1 = 0xBA;       // ;:
inline constexpr uint32_t VK_OEM_PLUS = 0xBB;    // =+
inline constexpr uint32_t VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr uint32_t VK_OEM_MINUS = 0xBD;   // -_
inline constexpr uint32_t VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr uint32_t VK_OEM_2 = 0xBF;       // /?
inline constexpr uint32_t VK_OEM_3 = 0xC0;       // `~
inline constexpr uint32_t VK_OEM_4 = 0xDB;       // [{
inline constexpr uint32_t VK_OEM_5 = 0xDC;       // \|
inline constexpr uint32_t VK_OEM_6 = 0xDD;       // ]}
inline constexpr uint32_t VK_OEM_7 = 0xDE;       // '"
inline constexpr uint32_t VK_OEM_102 = 0xE2;     // the extra key of ISO keyboards

}  // namespace GCore
