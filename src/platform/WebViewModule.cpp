#include "platform/WebViewModule.h"

#include <dlfcn.h>

#include <utility>

#include "base/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/Window.h"

namespace GCore {
namespace {

void WriteToLog(const char* text) { LogWrite(text); }

class ModuleHost : public BrowserHost {
 public:
  ModuleHost(std::string modulePath, std::string displayName, unsigned long window)
      : modulePath_(std::move(modulePath)), displayName_(std::move(displayName)), window_(window) {}

  std::unique_ptr<BrowserView> CreateView() override {
    if (!Load()) {
      LogPrintf("webview: no web view can be made: %s\n", error_.c_str());
      return nullptr;
    }
    return host_->CreateView();
  }

  void Pump() override {
    if (host_) host_->Pump();
  }

 private:
  // One attempt: a module that did not load will not load later either.
  bool Load() {
    if (host_) return true;
    if (!error_.empty()) return false;
    // Never closed: the toolkit it starts cannot be unloaded.
    void* module = dlopen(modulePath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* reason = dlerror();
      error_ = "the module \"" + modulePath_ + "\" cannot be loaded (" + (reason ? reason : "unknown reason") + ")";
      return false;
    }
    const auto entry = reinterpret_cast<WebViewHostEntry>(dlsym(module, kWebViewModuleEntry));
    if (!entry) {
      error_ = "the module \"" + modulePath_ + "\" has no \"" + kWebViewModuleEntry + "\"";
      return false;
    }
    host_.reset(entry(displayName_.c_str(), window_, WriteToLog));
    if (!host_) error_ = "the module \"" + modulePath_ + "\" made no host";
    return host_ != nullptr;
  }

  std::string modulePath_;
  std::string displayName_;
  unsigned long window_;
  std::unique_ptr<BrowserHost> host_;
  std::string error_;  // why the module cannot be used; empty until it failed
};

}  // namespace

std::unique_ptr<BrowserHost> CreateModuleHost(const std::string& modulePath, const std::string& displayName,
                                              unsigned long window) {
  return std::make_unique<ModuleHost>(modulePath, displayName, window);
}

std::unique_ptr<BrowserHost> CreateWebKitHost() {
  std::string displayName;
  unsigned long window = 0;
  if (!GetAppWindowX11(displayName, window)) return nullptr;
  return CreateModuleHost(ProgramFolder() + "/" + kWebViewModuleFile, displayName, window);
}

}  // namespace GCore
