#pragma once
// The program's one top-level window (SDL2, x11 driver) and its OpenGL ES 2.0
// surface through EGL on the window's X11 display and window. Created once by
// CreateAppWindow and kept for the life of the process; a script restart keeps
// it. While the window exists its SDL events feed the message loop
// (MessagePump.h). Main thread only.
#include <cstdint>
#include <string>

struct SDL_Window;

namespace GCore {

// The window record. EGL handles are EGLDisplay, EGLContext and EGLSurface,
// kept untyped so that callers need no EGL or X11 headers.
struct WindowRecord {
  int reserved = 0;
  int clientWidth = 0;   // as requested at creation; GetClientSize tells the size now
  int clientHeight = 0;
  SDL_Window* window = nullptr;
  void* eglDisplay = nullptr;
  void* eglContext = nullptr;
  void* eglSurface = nullptr;
};

// The configuration attribute lists: first choice (RGB 888, depth 24,
// stencil 8) and the fallback (RGB 565, depth 8, stencil 8), EGL_NONE-ended.
extern const int32_t kEglConfigAttributes[];
extern const int32_t kEglFallbackConfigAttributes[];

// Creates and shows the window with a client area of width x height, then
// its EGL display, surface and context (made current). False on any failure;
// a window made before an EGL failure stays (its record shows what exists).
bool CreateAppWindow(const char* title, int width, int height);

// Creates the EGL display, surface and context for an SDL window and makes
// them current. When no configuration matches the attributes it logs
// "eglChooseConfig 888 failed" and tries the fallback list once; when that
// fails too it logs "eglChooseConfig 565 failed". False on any failure, with
// nothing left behind.
bool CreateEGLContext(SDL_Window* window, void** display, void** context, void** surface,
                      const int32_t* configAttributes);

// Releases what CreateEGLContext made (the display is terminated).
void DestroyEGLContext(void* display, void* context, void* surface);

// The record of the window (all empty before CreateAppWindow).
const WindowRecord& GetWindowRecord();

// Presents the frame: eglSwapBuffers on the window surface. False without one.
bool SwapBuffers();

// The client area now; false (and 0 x 0) without a window.
bool GetClientSize(int& width, int& height);

// The X11 display name and window id of the window, for windows of other
// toolkits placed inside it; false without a window.
bool GetAppWindowX11(std::string& displayName, unsigned long& windowId);

// True while the window has the keyboard focus of the desktop.
bool IsAppWindowForeground();

// True once the connection to the window's X server broke. The message loop
// is then sent WM_CLOSE (once, with a line in the log) and frames are no
// longer presented; the program should end with a failure status.
bool DisplayLost();

// Ends the window: EGL objects, the SDL window and SDL's video subsystem; the
// message loop goes back to posted messages only. For tests and orderly exits.
void DestroyAppWindow();

}  // namespace GCore
