#pragma once
// Input from the window procedure to the engine: pointer, buttons, wheel,
// keys, characters and IME text. The window procedure calls the current
// handler; tests install one of their own to see exactly what arrives.
// Main thread only.
#include <cstdint>

namespace GCore {

class InputHandler {
 public:
  virtual ~InputHandler() = default;
  // Window coordinates.
  virtual void OnMouseMove(float x, float y) = 0;
  // Button 0 left, 1 middle, 2 right; up 0 press, 1 release.
  virtual void OnMouseButton(int button, int up) = 0;
  // +1 up, -1 down.
  virtual void OnMouseWheel(int direction) = 0;
  virtual void OnKeyDown(uint32_t virtualKey) = 0;
  virtual void OnKeyUp(uint32_t virtualKey) = 0;
  // One byte of the ANSI code page.
  virtual void OnChar(uint8_t byte) = 0;
  // A double-byte character: lead byte high, trail byte low.
  virtual void OnImeChar(uint32_t character) = 0;
  // Places the IME composition window.
  virtual void OnImeComposition() = 0;
};

struct Point;

// The engine's handler (the game object's mouse state, hit tests and events).
InputHandler& EngineInput();

// The game-speed keys of Caps Lock: 43 doubles the speed, 45 halves it, 48
// pauses or resumes at 1024, and space while paused steps 33 ms.
void ApplyGameSpeedKey(uint32_t key);

// Moves the pointer to a stage position: the movement and drag fields always
// change; a move of more than 0.1 also stores the position and hit-tests.
void MoveTo(const Point& stage);

// The same for a window position, mapped through the renderer's letterbox
// (the stage's y grows upward); nothing without a renderer.
void MoveToWindowPoint(float x, float y);

// The handler the window procedure calls; null restores the engine's.
InputHandler& CurrentInput();
void SetInputHandler(InputHandler* handler);

}  // namespace GCore
