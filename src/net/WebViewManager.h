#pragma once
// The web views of the game window: 8 slots, each a browser view placed in
// the game's design coordinates and scaled with the window as the rendered
// picture is (the design size fitted into the client area, centred). The
// window procedure sets the manager up with the window, tells it every
// client size and closes the views before the window goes. Without a host
// (no window, or a failed start) every add fails and every other call
// answers false. Main thread only (window procedure and scripts).
#include <array>
#include <cstdint>
#include <memory>

#include "platform/WebBrowser.h"

namespace GCore {

struct WebViewEntry {
  std::unique_ptr<BrowserView> view;  // none while the slot is free
  int32_t x = 0;  // design coordinates
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool shown = false;
};

class WebViewManager {
 public:
  static constexpr int kSlotCount = 8;

  // The manager, made empty on first use.
  static WebViewManager& GetInstance();
  // Removes every view and frees the manager (the next GetInstance makes a
  // new, empty one).
  static void Destroy();

  // Takes the host of the views and the design size (the client size too,
  // until the window reports one). A null host leaves the manager refusing.
  void Init(std::unique_ptr<BrowserHost> host, int designWidth, int designHeight);

  // The index of a new view (hidden, 100 by 100, at the slot's x 0 and last
  // y), or -1 when the manager has no host, all slots are taken or the view
  // cannot be made.
  int AddWebView();
  // Each false when the manager has no host or the index names no open view
  // (indices outside 0 to 7 included).
  bool DisplayHTML(int index, const char* location);
  // Stores the place; a width or height of -1 keeps the one before.
  bool SetPlacement(int index, int32_t x, int32_t y, int32_t width, int32_t height);
  bool ShowWebView(int index, bool shown);
  bool RemoveWebView(int index);
  // Removes every open view.
  void RemoveAll();

  // Records the client size of the window and re-places every open view.
  void Resize(int clientWidth, int clientHeight);
  // Lets the browsers do their work; called from the frame loop.
  void Pump();

 private:
  WebViewEntry* OpenEntry(int index);
  void SetWebViewPos(WebViewEntry& entry);

  std::unique_ptr<BrowserHost> host_;
  std::array<WebViewEntry, kSlotCount> slots_;
  int designWidth_ = 0;
  int designHeight_ = 0;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
};

}  // namespace GCore
