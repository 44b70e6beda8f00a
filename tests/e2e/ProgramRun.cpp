#include "ProgramRun.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/ToolProcess.h"
#include "platform/XvfbServer.h"
#include "render/PNG.h"

namespace e2e {
namespace {

std::unique_ptr<XvfbServer> g_xvfb;
std::string g_displayError;

void StopXvfb() { g_xvfb.reset(); }

// Windows of the program come and go while the tests look at them: a request
// about one that has gone must fail that call, not end the test process (the
// default handler exits).
int KeepGoingOnXErrors(Display*, XErrorEvent*) { return 0; }

Display* OpenDisplay() {
  static Display* display = [] {
    XSetErrorHandler(KeepGoingOnXErrors);
    return XOpenDisplay(nullptr);
  }();
  return display;
}

int LowestSetBit(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// The window's title as the window manager reads it: _NET_WM_NAME in UTF-8,
// or the older WM_NAME (which is not a plain string under a UTF-8 locale).
std::string WindowTitle(Display* display, Window window) {
  std::string title;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024, False,
                         XInternAtom(display, "UTF8_STRING", False), &type, &format, &count, &left,
                         &data) == Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    if (!title.empty()) return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

unsigned long FindByName(Display* display, Window window, const std::string& title) {
  if (WindowTitle(display, window) == title) return window;
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
  unsigned long found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) found = FindByName(display, children[i], title);
  if (children) XFree(children);
  return found;
}

}  // namespace

bool EnsureDisplay(const std::string& screen) {
  static bool started = false;
  if (started) return g_xvfb != nullptr;
  started = true;
  auto server = std::make_unique<XvfbServer>(screen);
  if (!server->Start()) {
    g_displayError = server->Error();
    return false;
  }
  g_xvfb = std::move(server);
  std::atexit(StopXvfb);
  return true;
}

const std::string& DisplayError() { return g_displayError; }

GameRoot::GameRoot() : GameRoot(QUARVELIN_BINARY) {}

namespace {

// A hard link where the file system allows one, else a copy.
void Place(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) != 0) std::filesystem::copy_file(from, to);
}

}  // namespace

GameRoot::GameRoot(const std::string& program) {
  Write("build/bin/.keep", "");
  Place(program, Path("build/bin/quarvelin"));
  // The web-view module goes with the program it was built beside.
  const std::filesystem::path module = std::filesystem::path(program).parent_path() / "quarvelin_webview.so";
  if (std::filesystem::exists(module)) Place(module, Path("build/bin/quarvelin_webview.so"));
}

void CopyGameFiles(const std::string& from, const GameRoot& root) {
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(from)) {
    const std::string name = entry.path().filename().string();
    if (name == "build" || name == "write") continue;
    std::filesystem::copy(entry.path(), root.Path(name), std::filesystem::copy_options::recursive);
  }
}

RunResult Run(const GameRoot& root, const std::vector<std::string>& args, int timeLimitSeconds,
              const std::function<void(pid_t)>& whileRunning, const RunOptions& options) {
  RunResult result;
  const std::string program = root.Path("build/bin/quarvelin");
  const std::string outputPath = root.Path("output.txt");
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(options.stdoutToNull ? open("/dev/null", O_WRONLY) : out, 1);
    dup2(out, 2);
    if (chdir(root.Path().c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    setenv("QUARVELIN_NO_DIALOGS", "1", 1);
    // Mesa unloads its drivers before the leak check can name them; our own
    // leaks are checked by the unit tests.
    setenv("ASAN_OPTIONS", "detect_leaks=0:suppressions=" QUARVELIN_TEST_DATA "/asan.supp", 1);
    for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : options.unset) unsetenv(name.c_str());
    if (options.fileSizeLimit > 0) {
      // A write past the limit then fails as on a full disk, instead of
      // ending the program.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (whileRunning) whileRunning(child);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.log = root.Read("build/log.txt");
  result.output = root.Read("output.txt");
  return result;
}

unsigned long FindWindow(const std::string& title, int waitMs) {
  Display* display = OpenDisplay();
  if (!display) return 0;
  for (int waited = 0; waited <= waitMs; waited += 50) {
    if (unsigned long window = FindByName(display, DefaultRootWindow(display), title)) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

bool WindowSize(unsigned long window, int& width, int& height) {
  Display* display = OpenDisplay();
  XWindowAttributes attributes;
  if (!display || !XGetWindowAttributes(display, window, &attributes)) return false;
  width = attributes.width;
  height = attributes.height;
  return true;
}

bool RequestClose(unsigned long window) {
  Display* display = OpenDisplay();
  if (!display) return false;
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
  XFlush(display);
  return sent;
}

bool RunCommand(const std::vector<std::string>& command) {
  ToolProcess tool;
  if (tool.Run(command)) return true;
  std::fprintf(stderr, "%s\n", tool.Report().c_str());
  return false;
}

// Read straight from the X server: a capture tool asked for a window that has
// gone may wait for a mouse click instead, which no test gives.
bool CaptureWindow(unsigned long window, const std::string& pngPath) {
  Display* display = OpenDisplay();
  XWindowAttributes attributes;
  if (!display || !XGetWindowAttributes(display, window, &attributes)) {
    std::fprintf(stderr, "cannot capture window %lu: it does not exist\n", window);
    return false;
  }
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (!image) {
    std::fprintf(stderr, "cannot capture window %lu: the server gave no image\n", window);
    return false;
  }
  const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
  std::vector<uint8_t> rgba(static_cast<size_t>(image->width) * image->height * 4);
  uint8_t* out = rgba.data();
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x, out += 4) {
      const unsigned long pixel = XGetPixel(image, x, y);
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((pixel & masks[c]) >> LowestSetBit(masks[c]));
      out[3] = 255;
    }
  }
  const int width = image->width;
  const int height = image->height;
  XDestroyImage(image);
  return GCore::WritePng(pngPath.c_str(), rgba.data(), width, height) == 0;
}

Rgb PixelAt(const std::string& path, int x, int y) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  GCore::PngMemorySource source{bytes.data(), bytes.size(), 0};
  GCore::PngImage image;
  if (!GCore::DecodePng(GCore::PngReadFromMemory, &source, false, image) || x >= image.width ||
      y >= image.height) {
    return {-1, -1, -1};
  }
  const uint8_t* p = image.pixels.get() + (static_cast<size_t>(y) * image.width + x) * 4;
  return {p[0], p[1], p[2]};
}

bool Picture::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  GCore::PngMemorySource source{bytes.data(), bytes.size(), 0};
  GCore::PngImage image;
  if (!GCore::DecodePng(GCore::PngReadFromMemory, &source, false, image)) return false;
  width_ = image.width;
  height_ = image.height;
  rgba_.assign(image.pixels.get(), image.pixels.get() + static_cast<size_t>(width_) * height_ * 4);
  return true;
}

int Picture::Count(int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)>& test) const {
  int n = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x) {
      const uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + x) * 4];
      n += test(p[0], p[1], p[2]) ? 1 : 0;
    }
  }
  return n;
}

bool WaitForLog(const GameRoot& root, const std::string& text, int waitMs) {
  for (int waited = 0; waited <= waitMs; waited += 50) {
    if (root.Read("build/log.txt").find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

bool WaitForOutput(const GameRoot& root, const std::string& text, int waitMs) {
  for (int waited = 0; waited <= waitMs; waited += 50) {
    if (root.Read("output.txt").find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(part) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

}  // namespace e2e
