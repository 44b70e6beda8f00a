#include "net/WebViewManager.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace GCore {
namespace {

std::unique_ptr<WebViewManager>& Instance() {
  static std::unique_ptr<WebViewManager> manager;
  return manager;
}

// A scaled coordinate or size truncated toward zero, held to the int range.
int Truncate(double value) {
  return static_cast<int>(std::clamp(std::trunc(value), static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

}  // namespace

WebViewManager& WebViewManager::GetInstance() {
  std::unique_ptr<WebViewManager>& manager = Instance();
  if (!manager) manager = std::make_unique<WebViewManager>();
  return *manager;
}

void WebViewManager::Destroy() {
  std::unique_ptr<WebViewManager>& manager = Instance();
  if (manager) manager->RemoveAll();
  manager.reset();
}

void WebViewManager::Init(std::unique_ptr<BrowserHost> host, int designWidth, int designHeight) {
  RemoveAll();
  host_ = std::move(host);
  designWidth_ = designWidth;
  designHeight_ = designHeight;
  clientWidth_ = designWidth;
  clientHeight_ = designHeight;
  slots_ = {};
}

int WebViewManager::AddWebView() {
  if (!host_) return -1;
  int index = 0;
  while (index < kSlotCount && slots_[index].view) ++index;
  if (index == kSlotCount) return -1;
  std::unique_ptr<BrowserView> view = host_->CreateView();
  if (!view) return -1;
  WebViewEntry& entry = slots_[index];
  entry.view = std::move(view);
  // y stays what the slot last had: scripts that re-add a view into a freed
  // slot and show it unplaced find it where the old one was.
  entry.x = 0;
  entry.width = 100;
  entry.height = 100;
  entry.shown = false;
  SetWebViewPos(entry);
  return index;
}

WebViewEntry* WebViewManager::OpenEntry(int index) {
  if (!host_ || index < 0 || index >= kSlotCount || !slots_[index].view) return nullptr;
  return &slots_[index];
}

bool WebViewManager::DisplayHTML(int index, const char* location) {
  WebViewEntry* entry = OpenEntry(index);
  return entry && location && entry->view->Navigate(location);
}

bool WebViewManager::SetPlacement(int index, int32_t x, int32_t y, int32_t width, int32_t height) {
  WebViewEntry* entry = OpenEntry(index);
  if (!entry) return false;
  entry->x = x;
  entry->y = y;
  if (width != -1) entry->width = width;
  if (height != -1) entry->height = height;
  SetWebViewPos(*entry);
  return true;
}

bool WebViewManager::ShowWebView(int index, bool shown) {
  WebViewEntry* entry = OpenEntry(index);
  if (!entry) return false;
  entry->shown = shown;
  SetWebViewPos(*entry);
  return true;
}

bool WebViewManager::RemoveWebView(int index) {
  WebViewEntry* entry = OpenEntry(index);
  if (!entry) return false;
  entry->view.reset();
  return true;
}

void WebViewManager::RemoveAll() {
  for (WebViewEntry& entry : slots_) entry.view.reset();
}

void WebViewManager::Resize(int clientWidth, int clientHeight) {
  clientWidth_ = clientWidth;
  clientHeight_ = clientHeight;
  for (WebViewEntry& entry : slots_) {
    if (entry.view) SetWebViewPos(entry);
  }
}

void WebViewManager::Pump() {
  if (host_) host_->Pump();
}

// The design area is fitted into the client area as the picture is: scaled
// by the smaller ratio and centred along the other side.
void WebViewManager::SetWebViewPos(WebViewEntry& entry) {
  if (!entry.view) return;
  const int64_t w = clientWidth_;
  const int64_t h = clientHeight_;
  const int64_t dw = designWidth_;
  const int64_t dh = designHeight_;
  double scale = 1.0;
  int xOffset = 0;
  int yOffset = 0;
  // Without a design size there is nothing to fit: views keep their size.
  if (dw > 0 && dh > 0) {
    if (dh * w <= dw * h) {
      scale = static_cast<double>(w) / static_cast<double>(dw);
      yOffset = Truncate(static_cast<double>(h - dh * w / dw) * 0.5);
    } else {
      scale = static_cast<double>(h) / static_cast<double>(dh);
      xOffset = Truncate(static_cast<double>(w - dw * h / dh) * 0.5);
    }
  }
  entry.view->Place(Truncate(entry.x * scale + xOffset), Truncate(entry.y * scale + yOffset),
                    Truncate(entry.width * scale), Truncate(entry.height * scale), entry.shown);
}

}  // namespace GCore
