#pragma once
// Embedded web browsers over the game window. A BrowserHost makes the views;
// each BrowserView is a window of its own inside the game window's client
// area, showing one browser. The engine keeps the slots and the geometry
// (net/WebViewManager.h); this layer only acts on what it is told.
//
// Main thread only: the browser toolkit (GTK with WebKitGTK) is driven from
// the frame loop through Pump, never from a thread of its own. The toolkit is
// started when the first view is made, so a game that opens no web view never
// pays for it, and stays on that window's display for the life of the
// process. Every view must be released before the game window goes away.
#include <memory>
#include <string>

namespace GCore {

class BrowserView {
 public:
  virtual ~BrowserView() = default;  // closes the browser and its window
  // Loads a location: a URL, or a file path (made absolute against the
  // current folder). False when the location cannot be made a URL.
  virtual bool Navigate(const std::string& location) = 0;
  // Places the view in client coordinates of the game window and shows or
  // hides it. What the window system cannot hold is held to its range
  // (sizes of at least 1 pixel).
  virtual void Place(int x, int y, int width, int height, bool shown) = 0;
};

class BrowserHost {
 public:
  virtual ~BrowserHost() = default;
  // A new hidden view; null (and a printed reason) when none can be made.
  virtual std::unique_ptr<BrowserView> CreateView() = 0;
  // Lets the toolkit handle what is pending (events, loads, drawing).
  virtual void Pump() = 0;
};

// The WebKitGTK host over the game window (platform/Window.h); null without a
// window. The toolkit starts on the first CreateView, on the window's display.
std::unique_ptr<BrowserHost> CreateWebKitHost();

}  // namespace GCore
