#pragma once
// Desktop services beside the window: the mouse-button swap setting, the
// cursor, key state, clipboard text and the IME composition window. They act on
// the SDL window when one exists and answer as a machine without one would
// otherwise (headless: nothing swapped, no keys toggled, no clipboard).
// Main thread only.
#include <cstdint>
#include <string>

namespace GCore {

// Whether the primary and secondary mouse buttons are swapped (left-handed
// setting); the X server's pointer mapping, read when the window is made.
bool MouseButtonsSwapped();
// Sets the answer of MouseButtonsSwapped; the window does so from the pointer
// mapping, and tests of a headless run set it themselves.
void SetMouseButtonsSwapped(bool swapped);

// Sets the pointer to the standard arrow over the window.
void SetArrowCursor();

// The state of a key as Windows reports it (GetKeyState/GetAsyncKeyState):
// bit 15 set (a negative result) while the key is held; bit 0 set while Caps
// Lock, Num Lock or Scroll Lock is toggled on. Any virtual-key code of
// KeyMap.h, the side-specific modifiers (0xA0 ... 0xA5) and the mouse buttons
// (1 left, 2 right, 4 middle, by physical button).
int16_t GetKeyState(uint32_t virtualKey);

enum class ClipboardStatus {
  Ok,
  Unavailable,  // no window system to ask
  NoText,       // the clipboard holds no text
};

// Reads the clipboard as UTF-8 into text (left empty unless Ok).
ClipboardStatus ReadClipboardText(std::string& text);
// Puts UTF-8 text on the clipboard; false without a window system.
bool WriteClipboardText(const std::string& text);

// Places the input method's composition window at a client point.
void SetImeCompositionPosition(int x, int y);

}  // namespace GCore
