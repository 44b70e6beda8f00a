#pragma once
// Translation of SDL events into the engine's window messages (Messages.h), in
// the shape the Windows message loop delivers them after TranslateMessage:
// a key press is followed by its control character where Windows gives one
// (Backspace 8, Tab 9, Enter 13, Escape 27, Ctrl+letter 1..26, ...), typed
// text becomes characters of the ANSI code page (GBK): single bytes as WM_CHAR,
// double-byte characters as WM_IME_CHAR with the lead byte in bits 8..15.
// A pure function of its arguments: it asks SDL nothing.
#include <SDL_events.h>

#include <vector>

#include "platform/Messages.h"

namespace GCore {

// What a translation needs to know beyond the event itself.
struct EventContext {
  // The client size now, reported when a minimised window is restored.
  int clientWidth = 0;
  int clientHeight = 0;
  // Messages carry physical buttons, as the window procedure expects: it
  // swaps left and right itself when the system reports swapped buttons, so
  // the adapter undoes the swap the X server already applied.
  bool buttonsSwapped = false;
};

// Appends the messages the event stands for; events the engine has no use
// for append nothing. Text that GBK cannot represent is dropped character by
// character.
void TranslateSdlEvent(const SDL_Event& event, const EventContext& context,
                       std::vector<Message>& out);

}  // namespace GCore
