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
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, nullptr);
  return kMessageBoxOk;
}

}  // namespace GCore
