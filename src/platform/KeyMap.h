#pragma once
// SDL keys to Windows virtual-key codes, as a US keyboard layout gives them.
// Letters, digits and punctuation follow the layout's key symbol, so an AZERTY
// 'A' key still gives 'A'; symbols that have no Windows code of their own
// (accented letters, other scripts) fall back to the key's position.
#include <SDL_keyboard.h>

#include <cstdint>

namespace GCore {

// The virtual-key code of a key event, or 0 when Windows has none for it.
// Keypad digits and the keypad point follow Num Lock (keysym.mod): with it off
// they are the navigation keys (keypad 0 is Insert, 45), as on Windows.
uint32_t VirtualKeyFromSdl(const SDL_Keysym& keysym);

}  // namespace GCore
