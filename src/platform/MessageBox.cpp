#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdlib>

#include "base/Log.h"

namespace GCore {
namespace {
MessageBoxHook g_hook;
}

void SetMessageBoxHook(MessageBoxHook hook) { g_hook = std::move(hook); }

int ShowMessageBox(const char* title, const char* text) {
  if (g_hook) return g_hook(title, text);
  if (std::getenv("QUARVELIN_NO_DIALOGS")) {
    LogPrintf("[%s] %s\n", title, text);
    return kMessageBoxOk;
  }
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, nullptr) != 0) {
    // Without a display (or a dialog program) the box is never seen; the
    // engine has printed its text already, this says that nobody saw it.
    LogErrorPrintf("the message box \"%s\" could not be shown: %s\n", title, SDL_GetError());
  }
  return kMessageBoxOk;
}

}  // namespace GCore
