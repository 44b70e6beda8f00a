// The web-view slots as scripts see them through "webview.c", over a host
// that records what the views are told: slot use, the geometry that fits the
// design area into the window, the refusals; and a browser module that cannot
// be loaded. The real browser is the business of WebViewXvfbTest.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "core/TempRoot.h"
#include "game/GameIF.h"
#include "game/WindowProc.h"
#include "net/WebViewManager.h"
#include "net/WebViewScript.h"
#include "platform/Messages.h"
#include "platform/WebBrowser.h"
#include "platform/WebViewModule.h"

namespace {

namespace G = GCore;

struct ViewRecord {
  bool open = true;
  std::vector<std::string> locations;
  int x = -1, y = -1, width = -1, height = -1;
  bool shown = false;
  int placements = 0;
};

class RecordingView : public G::BrowserView {
 public:
  explicit RecordingView(std::shared_ptr<ViewRecord> record) : record_(std::move(record)) {}
  ~RecordingView() override { record_->open = false; }
  bool Navigate(const std::string& location) override {
    record_->locations.push_back(location);
    return true;
  }
  void Place(int x, int y, int width, int height, bool shown) override {
    *record_ = ViewRecord{true, record_->locations, x, y, width, height, shown, record_->placements + 1};
  }

 private:
  std::shared_ptr<ViewRecord> record_;
};

class RecordingHost : public G::BrowserHost {
 public:
  std::unique_ptr<G::BrowserView> CreateView() override {
    if (failNext) return nullptr;
    views.push_back(std::make_shared<ViewRecord>());
    return std::make_unique<RecordingView>(views.back());
  }
  void Pump() override { ++pumps; }

  bool failNext = false;
  int pumps = 0;
  std::vector<std::shared_ptr<ViewRecord>> views;  // in the order made
};

class WebViewSlots : public ::testing::Test {
 protected:
  void TearDown() override { G::WebViewManager::Destroy(); }

  // Sets the manager up with a recording host for a design size.
  RecordingHost& Host(int designWidth = 800, int designHeight = 600) {
    auto host = std::make_unique<RecordingHost>();
    RecordingHost& kept = *host;
    G::WebViewManager::GetInstance().Init(std::move(host), designWidth, designHeight);
    return kept;
  }

  std::string Eval(const std::string& expression) { return script_.Eval(expression); }

 private:
  WebViewScript script_;
};

TEST_F(WebViewSlots, EightViewsAtMostAndFreedSlotsAreReused) {
  RecordingHost& host = Host();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Eval("webview.addWebView()"), std::to_string(i));
  EXPECT_EQ(Eval("webview.addWebView()"), "nil");
  EXPECT_EQ(host.views.size(), 8u);

  EXPECT_EQ(Eval("webview.removeWebView(3)"), "true");
  EXPECT_FALSE(host.views[3]->open);
  EXPECT_EQ(Eval("webview.removeWebView(3)"), "false");
  EXPECT_EQ(Eval("webview.addWebView()"), "3");
  EXPECT_EQ(Eval("webview.addWebView()"), "nil");

  // A view the host cannot make leaves its slot free.
  EXPECT_EQ(Eval("webview.removeWebView(5)"), "true");
  host.failNext = true;
  EXPECT_EQ(Eval("webview.addWebView()"), "nil");
  EXPECT_EQ(Eval("webview.showWebView(5, true)"), "false");
  host.failNext = false;
  EXPECT_EQ(Eval("webview.addWebView()"), "5");

  // Closing the window closes every view.
  G::WndProc(G::WM_CLOSE, 0, 0);
  G::g_runState = G::kRunRunning;
  for (const auto& view : host.views) EXPECT_FALSE(view->open);
  EXPECT_EQ(Eval("webview.showWebView(0, true)"), "false");
}

TEST_F(WebViewSlots, ViewsAreFittedIntoTheWindowAsTheDesignAreaIs) {
  struct Case {
    int clientWidth, clientHeight;
    const char* place;  // setWebViewPos arguments after the index
    int x, y, width, height;
  };
  const Case cases[] = {
      {800, 600, "100, 100, 200, 100", 100, 100, 200, 100},
      // Wider than the design: scaled by height, centred across.
      {1600, 900, "100, 100, 200, 100", 350, 150, 300, 150},
      // Taller: scaled by width, centred down.
      {400, 600, "100, 100, 200, 100", 50, 200, 100, 50},
      // Fractions are truncated, the offsets too.
      {801, 600, "3, 3, 7, 7", 3, 3, 7, 7},
      {1000, 601, "10, 10, 10, 10", 109, 10, 10, 10},
      {300, 300, "-100, 10, 10, 10", -37, 40, 3, 3},
  };
  RecordingHost& host = Host(800, 600);
  ASSERT_EQ(Eval("webview.addWebView()"), "0");
  ASSERT_EQ(Eval("webview.showWebView(0, true)"), "true");
  const ViewRecord& view = *host.views[0];
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.clientWidth) + " x " + std::to_string(c.clientHeight) + ": " + c.place);
    G::WndProc(G::WM_SIZE, 0, G::MakeLParam(c.clientWidth, c.clientHeight));
    ASSERT_EQ(Eval(std::string("webview.setWebViewPos(0, ") + c.place + ")"), "true");
    EXPECT_EQ(view.x, c.x);
    EXPECT_EQ(view.y, c.y);
    EXPECT_EQ(view.width, c.width);
    EXPECT_EQ(view.height, c.height);
  }

  // A resize re-places the open views; -1 for a size keeps it.
  G::WndProc(G::WM_SIZE, 0, G::MakeLParam(1600, 900));
  ASSERT_EQ(Eval("webview.setWebViewPos(0, 100, 100, 200, 100)"), "true");
  ASSERT_EQ(Eval("webview.setWebViewPos(0, 0, 0, -1, -1)"), "true");
  EXPECT_EQ((std::vector<int>{view.x, view.y, view.width, view.height}), (std::vector<int>{200, 0, 300, 150}));
  G::WndProc(G::WM_SIZE, 0, G::MakeLParam(800, 600));
  EXPECT_EQ((std::vector<int>{view.x, view.y, view.width, view.height}), (std::vector<int>{0, 0, 200, 100}));
  ASSERT_EQ(Eval("webview.setWebViewPos(0, 5, 6, 7, -1)"), "true");
  EXPECT_EQ((std::vector<int>{view.x, view.y, view.width, view.height}), (std::vector<int>{5, 6, 7, 100}));
}

// A game without a design size has nothing to fit: views keep their place
// and size whatever the window's.
TEST_F(WebViewSlots, WithoutADesignSizeViewsAreNotScaled) {
  for (const auto& [width, height] : {std::pair{0, 0}, {800, 0}, {0, 600}, {-5, 600}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    RecordingHost& host = Host(width, height);
    ASSERT_EQ(Eval("webview.addWebView()"), "0");
    G::WndProc(G::WM_SIZE, 0, G::MakeLParam(1600, 900));
    ASSERT_EQ(Eval("webview.setWebViewPos(0, 10, 20, 30, 40)"), "true");
    const ViewRecord& view = *host.views[0];
    EXPECT_EQ((std::vector<int>{view.x, view.y, view.width, view.height}), (std::vector<int>{10, 20, 30, 40}));
  }
}

TEST_F(WebViewSlots, AViewStaysHiddenUntilShown) {
  RecordingHost& host = Host();
  ASSERT_EQ(Eval("webview.addWebView()"), "0");
  const ViewRecord& view = *host.views[0];
  EXPECT_EQ((std::vector<int>{view.x, view.y, view.width, view.height}), (std::vector<int>{0, 0, 100, 100}));
  EXPECT_FALSE(view.shown);
  ASSERT_EQ(Eval("webview.setWebViewPos(0, 10, 20, 30, 40)"), "true");
  EXPECT_FALSE(view.shown);
  ASSERT_EQ(Eval("webview.showWebView(0, true)"), "true");
  EXPECT_TRUE(view.shown);
  ASSERT_EQ(Eval("webview.showWebView(0, false)"), "true");
  EXPECT_FALSE(view.shown);
  EXPECT_EQ(view.x, 10);

  ASSERT_EQ(Eval("webview.displayHTML(0, 'file:///tmp/a.html')"), "true");
  EXPECT_EQ(view.locations, std::vector<std::string>{"file:///tmp/a.html"});
  EXPECT_EQ(Eval("webview.displayHTML(0)"), "false");
  EXPECT_EQ(Eval("webview.displayHTML(0, {})"), "false");

  // The frame loop lets the browsers work.
  G::WndProc(G::WM_PAINT, 0, 0);
  EXPECT_EQ(host.pumps, 1);
}

// Indices that name no slot (outside 0 to 7, or no number at all) are
// refused by every function; none reaches past the slots.
TEST_F(WebViewSlots, IndicesOutsideTheSlotsAreRefused) {
  RecordingHost& host = Host();
  for (int i = 0; i < 8; ++i) ASSERT_EQ(Eval("webview.addWebView()"), std::to_string(i));
  for (const char* index : {"8", "-1", "9", "100", "-2147483648", "2^31", "1e300", "-1e300", "math.huge",
                            "-math.huge", "0/0", "math.maxinteger", "math.mininteger", "'x'", "nil", "{}",
                            "true", "'9'"}) {
    SCOPED_TRACE(index);
    const std::string i = index;
    EXPECT_EQ(Eval("webview.displayHTML(" + i + ", 'about:blank')"), "false");
    EXPECT_EQ(Eval("webview.setWebViewPos(" + i + ", 1, 2, 3, 4)"), "false");
    EXPECT_EQ(Eval("webview.showWebView(" + i + ", true)"), "false");
    EXPECT_EQ(Eval("webview.removeWebView(" + i + ")"), "false");
  }
  for (const auto& view : host.views) {
    EXPECT_TRUE(view->open);
    EXPECT_TRUE(view->locations.empty());
    EXPECT_EQ(view->placements, 1);
  }
  // Numbers are truncated toward zero, numeric texts read as numbers.
  EXPECT_EQ(Eval("webview.showWebView(7.9, true)"), "true");
  EXPECT_EQ(Eval("webview.showWebView(-0.5, true)"), "true");
  EXPECT_EQ(Eval("webview.removeWebView('6')"), "true");
  EXPECT_TRUE(host.views[7]->shown);
  EXPECT_TRUE(host.views[0]->shown);
  EXPECT_FALSE(host.views[6]->open);
}

// Without a window there is no host: the module is there and refuses.
TEST_F(WebViewSlots, WithoutAWindowEveryCallIsRefused) {
  EXPECT_EQ(G::CreateWebKitHost(), nullptr);
  G::WebViewManager::GetInstance().Init(G::CreateWebKitHost(), 800, 600);
  EXPECT_EQ(Eval("webview.addWebView()"), "nil");
  EXPECT_EQ(Eval("webview.displayHTML(0, 'about:blank')"), "false");
  EXPECT_EQ(Eval("webview.setWebViewPos(0, 1, 2, 3, 4)"), "false");
  EXPECT_EQ(Eval("webview.showWebView(0, true)"), "false");
  EXPECT_EQ(Eval("webview.removeWebView(0)"), "false");
  G::WndProc(G::WM_SIZE, 0, G::MakeLParam(1600, 900));
  G::WndProc(G::WM_PAINT, 0, 0);
}

// The browser module is loaded on the first view; one that cannot be used
// makes every view fail with the reason printed, never a crash, and is not
// tried again.
TEST_F(WebViewSlots, AModuleThatCannotBeLoadedMakesNoViewAndSaysWhy) {
  TempRoot root;
  root.Write("not-a-library.so", "text");
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {root.Path("missing.so"), "cannot be loaded"},
      {root.Path("not-a-library.so"), "cannot be loaded"},
      {QUARVELIN_LIBRARY_WITHOUT_ENTRY, "has no \"quarvelin_webview_host\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    G::WebViewManager::GetInstance().Init(G::CreateModuleHost(c.path, ":0", 1), 800, 600);
    for (int attempt = 0; attempt < 2; ++attempt) {
      testing::internal::CaptureStdout();
      EXPECT_EQ(Eval("webview.addWebView()"), "nil");
      const std::string printed = testing::internal::GetCapturedStdout();
      EXPECT_NE(printed.find("webview: no web view can be made: the module \"" + c.path + "\" " + c.reason),
                std::string::npos)
          << printed;
    }
    EXPECT_EQ(Eval("webview.showWebView(0, true)"), "false");
    G::WndProc(G::WM_PAINT, 0, 0);  // pumps a host that has no module
    G::WebViewManager::Destroy();
  }
}

}  // namespace
