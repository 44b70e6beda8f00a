#include "platform/Window.h"

#include <SDL.h>
#include <SDL_syswm.h>
// After SDL_syswm.h: EGL's platform header then sees the same Xlib types.
#include <EGL/egl.h>
#include <poll.h>

#include <X11/Xatom.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Log.h"
#include "platform/HeapTuning.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/SdlEvents.h"
#include "platform/SystemInput.h"

namespace GCore {

static_assert(sizeof(EGLint) == sizeof(int32_t), "attribute lists are passed as int32_t");

const int32_t kEglConfigAttributes[] = {
    EGL_RED_SIZE,       8, EGL_GREEN_SIZE,   8, EGL_BLUE_SIZE,      8,
    EGL_ALPHA_SIZE,     EGL_DONT_CARE,        EGL_DEPTH_SIZE,       24,
    EGL_STENCIL_SIZE,   8, EGL_SAMPLE_BUFFERS, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
    EGL_NONE};

const int32_t kEglFallbackConfigAttributes[] = {
    EGL_RED_SIZE,       5, EGL_GREEN_SIZE,   6, EGL_BLUE_SIZE,      5,
    EGL_ALPHA_SIZE,     EGL_DONT_CARE,        EGL_DEPTH_SIZE,       8,
    EGL_STENCIL_SIZE,   8, EGL_SAMPLE_BUFFERS, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
    EGL_NONE};

namespace {

const EGLint kContextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};

WindowRecord g_record;

// Set by Xlib's handlers when the connection to the X server breaks (the
// server ended, the socket closed); read on the main thread.
bool g_displayLost = false;
bool g_displayLossTaken = false;
// The window's X connection, watched before every swap.
Display* g_x11Display = nullptr;

// Xlib calls this first on a broken connection (of any display: the handler
// is process-wide); it must not end the program (the default one prints and
// exits): the exit handler of the display decides.
int OnDisplayIOError(Display* display) {
  if (display == g_x11Display) g_displayLost = true;
  return 0;
}

// Returning from this one leaves the connection marked dead, and every later
// call on it returns at once: the program goes on to its ordered exit.
void OnDisplayIOErrorExit(Display*, void*) { g_displayLost = true; }

class SdlEventSource : public EventSource {
 public:
  void Poll(std::vector<Message>& out) override {
    EventContext context;
    context.buttonsSwapped = MouseButtonsSwapped();
    SDL_Event event;
    while (!g_displayLost && SDL_PollEvent(&event)) {
      if (event.type == SDL_WINDOWEVENT && g_record.window) {
        SDL_GetWindowSize(g_record.window, &context.clientWidth, &context.clientHeight);
      }
      TranslateSdlEvent(event, context, out);
    }
    if (g_displayLost && !g_displayLossTaken) {
      g_displayLossTaken = true;
      LogFatal("The connection to the X display was lost; the program ends.\n");
      out.push_back(Message{WM_CLOSE, 0, 0});
    }
  }
};

SdlEventSource g_sdlSource;

bool GetX11Handles(SDL_Window* window, Display*& display, ::Window& x11Window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  display = info.info.x11.display;
  x11Window = info.info.x11.window;
  return display != nullptr;
}

// The X server's pointer mapping sends physical button 1 to logical button 3
// when a left-handed user has swapped the buttons.
bool PointerMappingSwapped(SDL_Window* window) {
  Display* display = nullptr;
  ::Window x11Window = 0;
  if (!GetX11Handles(window, display, x11Window)) return false;
  unsigned char map[256];
  const int count = XGetPointerMapping(display, map, static_cast<int>(sizeof(map)));
  return count >= 3 && map[0] == 3;
}

// SDL writes WM_NAME in the encoding of the process's locale, typed with
// that encoding's name: under a UTF-8 locale the type is "UTF-8", which
// desktop tools (xprop, xdotool, window lists) do not read. ASCII goes out as
// STRING and everything else as UTF8_STRING, the types they expect.
void SetX11WindowName(SDL_Window* window, const std::string& title) {
  Display* display = nullptr;
  ::Window x11Window = 0;
  if (!GetX11Handles(window, display, x11Window)) return;
  const bool ascii = std::all_of(title.begin(), title.end(), [](char c) { return (c & 0x80) == 0; });
  const Atom type = ascii ? XA_STRING : XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, x11Window, XA_WM_NAME, type, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XFlush(display);
}

void WatchDisplayConnection(SDL_Window* window) {
  Display* display = nullptr;
  ::Window x11Window = 0;
  if (!GetX11Handles(window, display, x11Window)) return;
  g_displayLost = false;
  g_displayLossTaken = false;
  g_x11Display = display;
  XSetIOErrorHandler(OnDisplayIOError);
  XSetIOErrorExitHandler(display, OnDisplayIOErrorExit, nullptr);
}

// Mesa's software swap on a connection whose server is gone loops for a
// long time instead of failing, and only Xlib's own calls notice the loss:
// the socket is asked first (a closed peer reads as a hang-up).
bool DisplayConnectionBroken() {
  if (!g_displayLost && g_x11Display) {
    pollfd connection{ConnectionNumber(g_x11Display), POLLRDHUP, 0};
    if (poll(&connection, 1, 0) > 0 && (connection.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))) {
      g_displayLost = true;
    }
  }
  return g_displayLost;
}

bool ChooseConfig(EGLDisplay display, const EGLint* attributes, EGLConfig& config) {
  EGLint found = 0;
  // A successful call that matched nothing leaves no usable configuration, so
  // it counts as a failure too (and the fallback gets its turn).
  return eglChooseConfig(display, attributes, &config, 1, &found) == EGL_TRUE && found > 0;
}

}  // namespace

bool CreateEGLContext(SDL_Window* window, void** displayOut, void** contextOut, void** surfaceOut,
                      const int32_t* configAttributes) {
  Display* x11Display = nullptr;
  ::Window x11Window = 0;
  if (!window || !GetX11Handles(window, x11Display, x11Window)) return false;
  KeepFrameMemory();

  EGLDisplay display = eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(x11Display));
  if (display == EGL_NO_DISPLAY) return false;
  EGLint configCount = 0;
  if (eglInitialize(display, nullptr, nullptr) != EGL_TRUE ||
      eglBindAPI(EGL_OPENGL_ES_API) != EGL_TRUE ||
      eglGetConfigs(display, nullptr, 0, &configCount) != EGL_TRUE) {
    DestroyEGLContext(display, nullptr, nullptr);
    return false;
  }

  EGLConfig config = nullptr;
  if (!ChooseConfig(display, configAttributes, config)) {
    LogWrite("eglChooseConfig 888 failed\n");
    if (!ChooseConfig(display, kEglFallbackConfigAttributes, config)) {
      LogWrite("eglChooseConfig 565 failed\n");
      DestroyEGLContext(display, nullptr, nullptr);
      return false;
    }
  }

  EGLSurface surface =
      eglCreateWindowSurface(display, config, static_cast<EGLNativeWindowType>(x11Window), nullptr);
  if (surface == EGL_NO_SURFACE) {
    DestroyEGLContext(display, nullptr, nullptr);
    return false;
  }
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, kContextAttributes);
  if (context == EGL_NO_CONTEXT) {
    LogErrorPrintf("eglCreateContext failed: 0x%x\n", static_cast<unsigned>(eglGetError()));
    DestroyEGLContext(display, nullptr, surface);
    return false;
  }
  if (eglMakeCurrent(display, surface, surface, context) != EGL_TRUE) {
    LogErrorPrintf("eglMakeCurrent failed: 0x%x\n", static_cast<unsigned>(eglGetError()));
    DestroyEGLContext(display, context, surface);
    return false;
  }
  *displayOut = display;
  *contextOut = context;
  *surfaceOut = surface;
  return true;
}

void DestroyEGLContext(void* display, void* context, void* surface) {
  if (!display) return;
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context) eglDestroyContext(display, context);
  if (surface) eglDestroySurface(display, surface);
  eglTerminate(display);
  eglReleaseThread();
}

bool CreateAppWindow(const char* title, int width, int height) {
  if (g_record.window) return false;  // one window per process
  g_record = WindowRecord{};
  g_record.clientWidth = width;
  g_record.clientHeight = height;

  // The EGL code needs X11 handles whatever SDL_VIDEODRIVER says; closing the
  // window is the window procedure's decision, not SDL's.
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // SIGTERM and SIGINT are the program's own (TerminationSignals.h), from
  // before the window exists until the end.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A click that activates the window is a click, as on Windows.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    LogFatal(std::string("SDL video: ") + SDL_GetError() + "\n");
    return false;
  }
  // SDL sizes the client area, so no frame adjustment is needed.
  SDL_Window* window = SDL_CreateWindow(title ? title : "", 0, 0, width, height,
                                        SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
  if (!window) {
    LogFatal(std::string("SDL_CreateWindow: ") + SDL_GetError() + "\n");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  g_record.window = window;
  SetX11WindowName(window, title ? title : "");
  WatchDisplayConnection(window);
  SetMouseButtonsSwapped(PointerMappingSwapped(window));
  SDL_StartTextInput();
  SetEventSource(&g_sdlSource);
  if (!CreateEGLContext(window, &g_record.eglDisplay, &g_record.eglContext, &g_record.eglSurface,
                        kEglConfigAttributes)) {
    LogFatal("EGL: no OpenGL ES 2.0 surface and context for the window\n");
    return false;
  }
  return true;
}

const WindowRecord& GetWindowRecord() { return g_record; }

bool SwapBuffers() {
  if (!g_record.eglSurface || DisplayConnectionBroken()) return false;
  return eglSwapBuffers(g_record.eglDisplay, g_record.eglSurface) == EGL_TRUE;
}

bool GetClientSize(int& width, int& height) {
  width = 0;
  height = 0;
  if (!g_record.window) return false;
  SDL_GetWindowSize(g_record.window, &width, &height);
  return true;
}

bool GetAppWindowX11(std::string& displayName, unsigned long& windowId) {
  Display* display = nullptr;
  ::Window x11Window = 0;
  if (!g_record.window || !GetX11Handles(g_record.window, display, x11Window)) return false;
  displayName = DisplayString(display);
  windowId = x11Window;
  return true;
}

bool IsAppWindowForeground() {
  return g_record.window && (SDL_GetWindowFlags(g_record.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool DisplayLost() { return g_displayLost; }

void DestroyAppWindow() {
  if (!g_record.window) return;
  SetEventSource(nullptr);
  g_x11Display = nullptr;
  if (g_displayLost) {
    // Every teardown call would talk to the dead connection (and SDL's
    // crashes there): the process is ending, so the window is only forgotten.
    SetMouseButtonsSwapped(false);
    g_record = WindowRecord{};
    return;
  }
  DestroyEGLContext(g_record.eglDisplay, g_record.eglContext, g_record.eglSurface);
  SDL_StopTextInput();
  SDL_DestroyWindow(g_record.window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SetMouseButtonsSwapped(false);
  g_record = WindowRecord{};
}

}  // namespace GCore
