#pragma once
// Message boxes block a person until dismissed. With the environment variable
// QUARVELIN_NO_DIALOGS set, a box only prints its title and text and returns
// at once (tests always set it). Main thread only.
#include <functional>

namespace GCore {

constexpr int kMessageBoxOk = 1;

// Shows a box with an OK button; returns kMessageBoxOk.
int ShowMessageBox(const char* title, const char* text);

// Replaces the box (null restores it), so tests can see what would be shown.
using MessageBoxHook = std::function<int(const char* title, const char* text)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace GCore
