#pragma once
// The web-view module: the WebKitGTK host (WebKitBrowser.cpp) built as a
// library of its own, "quarvelin_webview.so" beside the executable, and
// loaded when a game first asks for a view. Linked into the program, WebKitGTK
// with GTK and their hundred libraries were mapped and relocated at every
// start (some 35 MiB resident) although most games never open a view.
#include "platform/WebBrowser.h"

namespace GCore {

inline constexpr const char* kWebViewModuleFile = "quarvelin_webview.so";

// The module's one export, looked up by this name. It reports through the
// log function it is given: the module holds no copy of the engine.
inline constexpr const char* kWebViewModuleEntry = "quarvelin_webview_host";
using WebViewLog = void (*)(const char* text);
// A host over the X11 window on the named display; the caller owns it. The
// module stays loaded for the life of the process (GTK cannot be unloaded).
using WebViewHostEntry = BrowserHost* (*)(const char* displayName, unsigned long window, WebViewLog log);

// A host that loads the module at `modulePath` on its first CreateView, for
// the X11 window given. When the module cannot be loaded, that and every
// later CreateView prints why and makes no view.
std::unique_ptr<BrowserHost> CreateModuleHost(const std::string& modulePath, const std::string& displayName,
                                              unsigned long window);

}  // namespace GCore
