#include <gtest/gtest.h>

#include <EGL/egl.h>
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Log.h"
#include "core/Clipboard.h"
#include "platform/MessagePump.h"
#include "platform/SystemInput.h"
#include "platform/Window.h"
#include "platform/ToolProcess.h"
#include "platform/XvfbFixture.h"

namespace {

namespace G = GCore;

using WindowOnXvfb = XvfbFixture;

// A server that resets when its last client leaves refuses whoever connects
// meanwhile: tests that start and stop X clients (the program, xdotool,
// import) would fail now and then. This runs first, while nothing else holds
// a connection.
TEST_F(WindowOnXvfb, ClientsComingAndGoingAreNeverRefused) {
  int refused = 0;
  for (int i = 0; i < 2000; ++i) {
    Display* display = XOpenDisplay(WindowOnXvfb::server->DisplayName().c_str());
    if (!display) {
      ++refused;
      continue;
    }
    XCloseDisplay(display);
  }
  EXPECT_EQ(refused, 0);
}

// The X server's own idea of the window's size.
bool X11WindowSize(SDL_Window* window, int& width, int& height) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info)) return false;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes)) return false;
  width = attributes.width;
  height = attributes.height;
  return true;
}

// Mesa's driver leaks a little and eglTerminate unloads it; LeakSanitizer
// cannot name (nor suppress) a leak of an unloaded library, so the test keeps
// every loaded "*_dri.so" mapped for the rest of the process.
void PinGraphicsDrivers() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        const std::string name = info->dlpi_name ? info->dlpi_name : "";
        if (name.find("_dri.so") != std::string::npos) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);
        return 0;
      },
      nullptr);
}

std::vector<G::Message> g_seen;
int g_paints = 0;

// Records input messages; gives up after many empty paints so that a missing
// message fails the test instead of hanging it.
intptr_t RecordUntilQuiet(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == G::WM_PAINT) {
    if (++g_paints == 2000) G::PostQuitMessage(0);
    SDL_Delay(1);
    return 1;
  }
  g_seen.push_back({message, wParam, lParam});
  if (message == G::WM_SIZE || message == G::WM_CLOSE) G::PostQuitMessage(0);
  return 1;
}

bool Seen(const G::Message& wanted) {
  for (const G::Message& m : g_seen) {
    if (m.message == wanted.message && m.wParam == wanted.wParam && m.lParam == wanted.lParam) {
      return true;
    }
  }
  return false;
}

TEST_F(WindowOnXvfb, WindowGetsAClientAreaAndACurrentContext) {
  ASSERT_TRUE(G::CreateAppWindow("quarvelin platform test", 640, 480));
  const G::WindowRecord& record = G::GetWindowRecord();
  ASSERT_NE(record.window, nullptr);
  PinGraphicsDrivers();
  EXPECT_EQ(record.clientWidth, 640);
  EXPECT_EQ(record.clientHeight, 480);
  EXPECT_NE(record.eglDisplay, nullptr);
  EXPECT_NE(record.eglSurface, nullptr);
  EXPECT_NE(record.eglContext, nullptr);
  EXPECT_EQ(eglGetCurrentContext(), record.eglContext);
  EXPECT_EQ(eglGetCurrentSurface(EGL_DRAW), record.eglSurface);

  int width = 0, height = 0;
  EXPECT_TRUE(G::GetClientSize(width, height));
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  ASSERT_TRUE(X11WindowSize(record.window, width, height));
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);

  EXPECT_TRUE(G::SwapBuffers());
  EXPECT_FALSE(G::CreateAppWindow("second", 320, 200));  // one window per process

  // Text round trip through the X selection, in UTF-8.
  EXPECT_TRUE(G::WriteClipboardText("copy \xE4\xB8\xAD"));
  std::string text;
  EXPECT_EQ(G::ReadClipboardText(text), G::ClipboardStatus::Ok);
  EXPECT_EQ(text, "copy \xE4\xB8\xAD");
  // As the engine reads it: UTF-8, and its length in UTF-16 units (a
  // character beyond U+FFFF takes two).
  const std::string mixed = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  EXPECT_TRUE(G::WriteClipboardText(mixed));
  int units = -1;
  const char* read = G::GetClipboardText(&units);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(std::string(read), mixed);
  EXPECT_EQ(units, 5);
  EXPECT_NE(G::GetClipboardText(nullptr), nullptr) << "the length is optional";

  // A resize reaches the window procedure as WM_SIZE through the SDL source.
  g_seen.clear();
  g_paints = 0;
  SDL_SetWindowSize(record.window, 800, 600);
  G::RunMessageLoop(RecordUntilQuiet);
  EXPECT_TRUE(Seen({G::WM_SIZE, G::SIZE_RESTORED, G::MakeLParam(800, 600)}));

  // A quit request from the desktop arrives from SDL as a quit event, which
  // closes the window.
  g_seen.clear();
  g_paints = 0;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  G::RunMessageLoop(RecordUntilQuiet);
  EXPECT_TRUE(Seen({G::WM_CLOSE, 0, 0}));

  G::DestroyAppWindow();
  EXPECT_EQ(G::GetWindowRecord().window, nullptr);
  EXPECT_FALSE(G::GetClientSize(width, height));
  EXPECT_FALSE(G::SwapBuffers());
  EXPECT_EQ(G::ReadClipboardText(text), G::ClipboardStatus::Unavailable);
  units = -1;
  EXPECT_EQ(G::GetClipboardText(&units), nullptr);
  EXPECT_EQ(units, -1);
}

// Input made by xdotool through the X server while the loop runs (or before,
// without a command). The loop ends when every wanted message has arrived, or
// after half a minute without: a count of frames ran out before a loaded
// machine had delivered the typing.
std::vector<G::Message> g_wanted;
std::chrono::steady_clock::time_point g_giveUpAt;
const std::vector<std::string>* g_xdotoolCommand = nullptr;
ToolProcess* g_xdotool = nullptr;

intptr_t RecordUntilWanted(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message != G::WM_PAINT) {
    g_seen.push_back({message, wParam, lParam});
    return 1;
  }
  if (g_paints++ == 0 && g_xdotool) g_xdotool->Start(*g_xdotoolCommand);
  bool all = true;
  for (const G::Message& m : g_wanted) all = all && Seen(m);
  if (all || std::chrono::steady_clock::now() > g_giveUpAt) G::PostQuitMessage(0);
  SDL_Delay(1);
  return 1;
}

// Runs xdotool with the arguments while pumping; empty when it succeeded,
// else its command line and what it printed.
std::string PumpWhileRunning(const std::vector<std::string>& command, std::vector<G::Message> wanted) {
  g_seen.clear();
  g_paints = 0;
  g_wanted = std::move(wanted);
  g_giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  ToolProcess xdotool;
  g_xdotool = &xdotool;
  g_xdotoolCommand = &command;
  G::RunMessageLoop(RecordUntilWanted);
  g_xdotool = nullptr;
  return xdotool.Wait() ? std::string() : xdotool.Report();
}

// Pumps until the wanted messages arrive, with no tool running meanwhile.
void PumpUntil(std::vector<G::Message> wanted) {
  g_seen.clear();
  g_paints = 0;
  g_wanted = std::move(wanted);
  g_giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  G::RunMessageLoop(RecordUntilWanted);
}

// xdotool types a character that no key produces by mapping it to a spare key
// for a moment; a client that reads the key press after the mapping is undone
// sees no character. Mapping it for good first makes xdotool press that key.
bool MapKeySym(KeySym keysym) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  int low = 0, high = 0, perKey = 0;
  XDisplayKeycodes(display, &low, &high);
  KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(low), high - low + 1, &perKey);
  int spare = 0;
  for (int code = high; code >= low && !spare; --code) {
    bool empty = true;
    for (int i = 0; i < perKey; ++i) empty = empty && map[(code - low) * perKey + i] == NoSymbol;
    if (empty) spare = code;
  }
  XFree(map);
  if (spare) {
    KeySym both[2] = {keysym, keysym};
    XChangeKeyboardMapping(display, spare, 2, both, 1);
    XSync(display, False);
  }
  XCloseDisplay(display);
  return spare != 0;
}

void ExpectAllSeen() {
  std::ostringstream seen;
  for (const G::Message& m : g_seen) {
    seen << std::hex << " {0x" << m.message << ", 0x" << m.wParam << ", 0x" << m.lParam << "}";
  }
  for (const G::Message& m : g_wanted) {
    EXPECT_TRUE(Seen(m)) << "missing message 0x" << std::hex << m.message << " wParam 0x"
                         << m.wParam << "; seen:" << seen.str();
  }
}

TEST_F(WindowOnXvfb, RealInputArrivesAsMessages) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
  ASSERT_TRUE(MapKeySym(0x1004E2D)) << "no spare key for U+4E2D";
  ASSERT_TRUE(G::CreateAppWindow("input", 320, 240));
  PinGraphicsDrivers();
  SDL_SetWindowInputFocus(G::GetWindowRecord().window);

  // "type" takes every argument after it as text, so it comes last.
  const std::vector<std::string> typing = {"xdotool", "mousemove", "10", "20", "click", "1", "click", "4",
                                           "key", "a", "key", "BackSpace", "type", "\xE4\xB8\xAD"};
  EXPECT_EQ(PumpWhileRunning(
      typing, {
                  {G::WM_MOUSEMOVE, 0, G::MakeLParam(10, 20)},
                  {G::WM_KEYDOWN, 'A', 1},
                  {G::WM_CHAR, 'a', 1},
                  {G::WM_KEYUP, 'A', G::KEY_PREVIOUS_STATE_BIT | G::KEY_TRANSITION_BIT | 1},
                  {G::WM_KEYDOWN, G::VK_BACK, 1},
                  {G::WM_CHAR, 8, 1},
                  {G::WM_IME_CHAR, 0xD6D0, 1},
                  {G::WM_LBUTTONDOWN, 0, G::MakeLParam(10, 20)},
                  {G::WM_LBUTTONUP, 0, G::MakeLParam(10, 20)},
                  {G::WM_MOUSEWHEEL, uintptr_t{120} << 16, G::MakeLParam(10, 20)},
              }),
            "");
  ExpectAllSeen();

  // A held key shows in the key state, under its generic and its side code.
  EXPECT_EQ(PumpWhileRunning({"xdotool", "keydown", "shift"}, {{G::WM_KEYDOWN, G::VK_SHIFT, 1}}), "");
  ExpectAllSeen();
  EXPECT_LT(G::GetKeyState(G::VK_SHIFT), 0);
  EXPECT_LT(G::GetKeyState(0xA0), 0);  // VK_LSHIFT
  EXPECT_EQ(G::GetKeyState('A'), 0);
  EXPECT_EQ(PumpWhileRunning({"xdotool", "keyup", "shift"},
                             {{G::WM_KEYUP, G::VK_SHIFT, G::KEY_PREVIOUS_STATE_BIT | G::KEY_TRANSITION_BIT | 1}}),
            "");
  EXPECT_EQ(G::GetKeyState(G::VK_SHIFT), 0);
  G::DestroyAppWindow();
}

TEST_F(WindowOnXvfb, AClickThatFocusesTheWindowIsDelivered) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
  ASSERT_TRUE(G::CreateAppWindow("focus click", 320, 240));
  PinGraphicsDrivers();
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_TRUE(SDL_GetWindowWMInfo(G::GetWindowRecord().window, &info));
  const std::string id = std::to_string(info.info.x11.window);

  // The window loses the focus, and the loop sees that.
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  XSetInputFocus(other, None, RevertToNone, CurrentTime);
  XSync(other, False);
  XCloseDisplay(other);
  PumpUntil({});
  // A person clicks the unfocused window: the focus and the click reach the
  // window together, since the loop waits while xdotool runs. SDL drops such
  // a click unless told to let it through.
  ToolProcess xdotool;
  ASSERT_TRUE(xdotool.Run({"xdotool", "mousemove", "--window", id, "30", "40", "windowfocus", id, "click", "1"}))
      << xdotool.Report();
  PumpUntil({{G::WM_LBUTTONDOWN, 0, G::MakeLParam(30, 40)}, {G::WM_LBUTTONUP, 0, G::MakeLParam(30, 40)}});
  ExpectAllSeen();
  G::DestroyAppWindow();
}

// Desktop tools read the title from WM_NAME as STRING or UTF8_STRING; a
// property of the locale's own encoding type ("UTF-8") is one they skip.
TEST_F(WindowOnXvfb, DesktopToolsFindTheWindowByItsTitle) {
  if (std::system("command -v xdotool >/dev/null 2>&1 && command -v xprop >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no xdotool or xprop";
  }
  struct Case {
    const char* title;
    const char* search;
    const char* property;
  };
  const Case cases[] = {
      {"quarvelin title test", "quarvelin title", "WM_NAME(STRING) = \"quarvelin title test\""},
      {"quarvelin \xE4\xB8\xAD\xE6\x96\x87", "quarvelin",
       "WM_NAME(UTF8_STRING) = \"quarvelin \xE4\xB8\xAD\xE6\x96\x87\""},
  };
  // The program runs under a UTF-8 locale, where SDL alone wrote the type "UTF-8".
  const std::string before = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C.UTF-8", "C"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(locale) + ": " + c.title);
      ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr);
      ASSERT_TRUE(G::CreateAppWindow(c.title, 200, 100));
      std::string display;
      unsigned long id = 0;
      ASSERT_TRUE(G::GetAppWindowX11(display, id));
      ToolProcess xprop;
      EXPECT_TRUE(xprop.Run({"xprop", "-id", std::to_string(id), "WM_NAME"})) << xprop.Report();
      EXPECT_NE(xprop.Report().find(c.property), std::string::npos) << xprop.Report();
      ToolProcess search;
      EXPECT_TRUE(search.Run({"xdotool", "search", "--name", c.search})) << search.Report();
      EXPECT_NE(search.Report().find(std::to_string(id)), std::string::npos) << search.Report();
      G::DestroyAppWindow();
    }
  }
  std::setlocale(LC_ALL, before.c_str());
}

TEST_F(WindowOnXvfb, NoMatchingConfigurationFallsBackTo565) {
  char folder[] = "/tmp/qv-egl-fallback-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string logPath = std::string(folder) + "/log.txt";
  ASSERT_TRUE(G::LogOpen(logPath));
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("fallback", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();

  // No configuration has a 64-bit stencil: the first choice matches nothing.
  const int32_t impossible[] = {EGL_STENCIL_SIZE, 64, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                                EGL_NONE};
  void* display = nullptr;
  void* context = nullptr;
  void* surface = nullptr;
  EXPECT_TRUE(G::CreateEGLContext(window, &display, &context, &surface, impossible));
  PinGraphicsDrivers();
  EXPECT_EQ(eglGetCurrentContext(), context);
  G::DestroyEGLContext(display, context, surface);
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  G::LogClose();

  std::ifstream in(logPath);
  std::stringstream log;
  log << in.rdbuf();
  std::filesystem::remove_all(folder);
  EXPECT_EQ(log.str(), "eglChooseConfig 888 failed\n");
}

}  // namespace
