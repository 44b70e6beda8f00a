#pragma once
// The window procedure: frames on paint messages, resizes, the close request
// and input, in the Win32 message shape of platform/Messages.h.
#include <cstdint>

namespace GCore {

intptr_t WndProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

// The window size, updated by every accepted resize.
extern int g_windowWidth;
extern int g_windowHeight;

// Wheel deltas not yet turned into steps.
extern int32_t g_wheelAccumulator;

}  // namespace GCore
