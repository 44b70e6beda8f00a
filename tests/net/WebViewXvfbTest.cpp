// Web views in a real game window on a private Xvfb: what the screen shows
// (read back from the root window) and where the view's X window sits, after
// add, navigate, place, show and remove as scripts call them, and after the
// window is resized. Page loads and drawing happen at the browser's pace: each
// check waits for what it expects, with a generous deadline.
#include <gtest/gtest.h>

#include <GLES2/gl2.h>
#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/TempRoot.h"
#include "game/WindowProc.h"
#include "net/WebViewManager.h"
#include "net/WebViewScript.h"
#include "platform/Messages.h"
#include "platform/WebBrowser.h"
#include "platform/Window.h"
#include "platform/XvfbFixture.h"

namespace {

namespace G = GCore;

constexpr unsigned long kRed = 0xFF0000;
constexpr unsigned long kGreen = 0x00FF00;
constexpr unsigned long kBlue = 0x0000FF;

// Browsers start processes of their own and draw when they can; on a loaded
// machine that can take long.
constexpr auto kDeadline = std::chrono::seconds(120);

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "(" << r.x << ", " << r.y << ", " << r.width << " x " << r.height << ")";
}

// One server for the suite: the browser toolkit stays on the display it
// first started on.
class WebViewOnXvfb : public XvfbFixture {
 protected:
  void SetUp() override {
    XvfbFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(G::CreateAppWindow("webview test", 400, 300));
    std::string displayName;
    ASSERT_TRUE(G::GetAppWindowX11(displayName, window_));
    display_ = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display_, nullptr);
    G::WebViewManager::GetInstance().Init(G::CreateWebKitHost(), 400, 300);
    root_.Write("red.html", Page("#ff0000"));
    root_.Write("blue.html", Page("#0000ff"));
  }

  void TearDown() override {
    // The views live inside the game window: they go first.
    G::WebViewManager::Destroy();
    if (display_) XCloseDisplay(display_);
    G::DestroyAppWindow();
  }

  static std::string Page(const char* colour) {
    return std::string("<!DOCTYPE html><html><body style=\"margin:0;background:") + colour +
           "\"></body></html>";
  }

  std::string Eval(const std::string& expression) { return script_.Eval(expression); }

  // Runs frames until the condition holds; false when the deadline passes
  // first. Each frame lets the browsers work and paints the game green.
  bool PumpUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
      G::WndProc(G::WM_PAINT, 0, 0);
      int width = 0, height = 0;
      G::GetClientSize(width, height);
      glViewport(0, 0, width, height);
      glClearColor(0, 1, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      G::SwapBuffers();
      XSync(display_, False);
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // The views: the mapped child windows of the game window, as placed there.
  std::vector<Rect> MappedViews() {
    std::vector<Rect> views;
    ::Window rootWindow = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window_, &rootWindow, &parent, &children, &count)) return views;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display_, children[i], &attributes) && attributes.map_state == IsViewable) {
        views.push_back({attributes.x, attributes.y, attributes.width, attributes.height});
      }
    }
    if (children) XFree(children);
    return views;
  }

  size_t ChildCount() {
    ::Window rootWindow = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, window_, &rootWindow, &parent, &children, &count);
    if (children) XFree(children);
    return count;
  }

  // The colour on screen at a point of the game window's client area, as
  // 0xRRGGBB.
  unsigned long ScreenColour(int x, int y) {
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), rootX, rootY, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFF;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
  }

  // Waits until the view shows its colour all over the rectangle (its corners
  // just inside and its centre) and the game's green just outside each side.
  bool ShowsAt(const Rect& r, unsigned long colour) {
    return PumpUntil([&] {
      const int right = r.x + r.width - 1, bottom = r.y + r.height - 1;
      const bool inside = ScreenColour(r.x, r.y) == colour && ScreenColour(right, bottom) == colour &&
                          ScreenColour(r.x + r.width / 2, r.y + r.height / 2) == colour;
      const bool outside = ScreenColour(r.x - 1, r.y + 1) == kGreen && ScreenColour(r.x + 1, r.y - 1) == kGreen &&
                           ScreenColour(right + 1, bottom - 1) == kGreen &&
                           ScreenColour(right - 1, bottom + 1) == kGreen;
      return inside && outside;
    });
  }

  // The colours at the points ShowsAt looks at, for a failure's message.
  std::string ColoursAround(const Rect& r) {
    const int right = r.x + r.width - 1, bottom = r.y + r.height - 1;
    const int points[][2] = {{r.x, r.y}, {right, bottom}, {r.x + r.width / 2, r.y + r.height / 2},
                             {r.x - 1, r.y + 1}, {r.x + 1, r.y - 1}, {right + 1, bottom - 1}, {right - 1, bottom + 1}};
    std::string text;
    char line[64];
    for (const auto& p : points) {
      snprintf(line, sizeof(line), " (%d, %d) %06lx", p[0], p[1], ScreenColour(p[0], p[1]));
      text += line;
    }
    return text;
  }

  TempRoot root_;
  Display* display_ = nullptr;
  unsigned long window_ = 0;
  WebViewScript script_;
};

TEST_F(WebViewOnXvfb, ViewsShowPagesWhereScriptsPlaceThem) {
  ASSERT_EQ(Eval("webview.addWebView()"), "0");
  ASSERT_EQ(Eval("webview.displayHTML(0, 'file://" + root_.Path("red.html") + "')"), "true");
  ASSERT_EQ(Eval("webview.setWebViewPos(0, 50, 40, 100, 80)"), "true");
  // Placed, loaded, but not shown yet.
  for (int i = 0; i < 20; ++i) G::WndProc(G::WM_PAINT, 0, 0);
  EXPECT_EQ(ChildCount(), 1u);
  EXPECT_TRUE(MappedViews().empty());

  ASSERT_EQ(Eval("webview.showWebView(0, true)"), "true");
  const Rect first{50, 40, 100, 80};
  ASSERT_TRUE(PumpUntil([&] { return MappedViews() == std::vector<Rect>{first}; }));
  EXPECT_TRUE(ShowsAt(first, kRed)) << "the red page at " << first << ColoursAround(first);

  // A file path is a location too.
  ASSERT_EQ(Eval("webview.displayHTML(0, '" + root_.Path("blue.html") + "')"), "true");
  EXPECT_TRUE(ShowsAt(first, kBlue)) << "the blue page at " << first;

  // The window doubles: the view follows, scaled with the design area.
  SDL_SetWindowSize(G::GetWindowRecord().window, 800, 600);
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window_, &attributes) && attributes.width == 800 &&
           attributes.height == 600;
  }));
  G::WndProc(G::WM_SIZE, 0, G::MakeLParam(800, 600));
  const Rect doubled{100, 80, 200, 160};
  ASSERT_TRUE(PumpUntil([&] { return MappedViews() == std::vector<Rect>{doubled}; })) << MappedViews().size();
  EXPECT_TRUE(ShowsAt(doubled, kBlue)) << "the blue page at " << doubled;

  // Moved with its size kept, navigated, hidden and shown again.
  ASSERT_EQ(Eval("webview.setWebViewPos(0, 150, 100, -1, -1)"), "true");
  const Rect moved{300, 200, 200, 160};
  ASSERT_TRUE(PumpUntil([&] { return MappedViews() == std::vector<Rect>{moved}; }));
  ASSERT_EQ(Eval("webview.displayHTML(0, 'file://" + root_.Path("red.html") + "')"), "true");
  EXPECT_TRUE(ShowsAt(moved, kRed)) << "the red page at " << moved;
  ASSERT_EQ(Eval("webview.showWebView(0, false)"), "true");
  EXPECT_TRUE(PumpUntil([&] { return MappedViews().empty() && ScreenColour(400, 280) == kGreen; }));
  ASSERT_EQ(Eval("webview.showWebView(0, true)"), "true");
  EXPECT_TRUE(ShowsAt(moved, kRed)) << "shown again at " << moved;

  // Indices past the slots are refused and leave the view alone.
  for (const char* index : {"8", "-1", "1"}) {
    EXPECT_EQ(Eval(std::string("webview.showWebView(") + index + ", false)"), "false") << index;
    EXPECT_EQ(Eval(std::string("webview.removeWebView(") + index + ")"), "false") << index;
  }
  EXPECT_EQ(MappedViews(), std::vector<Rect>{moved});

  ASSERT_EQ(Eval("webview.removeWebView(0)"), "true");
  EXPECT_TRUE(PumpUntil([&] { return ChildCount() == 0 && ScreenColour(400, 280) == kGreen; }));
  EXPECT_EQ(Eval("webview.removeWebView(0)"), "false");
}

}  // namespace
