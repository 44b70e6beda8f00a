// Web views on Linux, the web-view module (platform/WebViewModule.h): a
// WebKitGTK browser in an undecorated GTK popup window that is moved into the
// game window (X11 reparenting). Inside the game window a view moves with it,
// is clipped by it and goes with it when it is minimised, as a child window
// does on the desktop the game was made for.
//
// GDK talks to the X server over a connection of its own; window ids are the
// server's, so a GDK window can be given an SDL window as its parent. GDK
// still takes the view for a top-level window; the coordinates it sends for
// moves are read by the server relative to the real parent, which is what
// Place means.
#include "platform/WebViewModule.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
// After the GDK headers: EGL's platform header then sees the same Xlib types.
#include <EGL/egl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace GCore {
namespace {

// The engine's log, given by the program that loaded the module.
WebViewLog g_log = nullptr;

void Log(const std::string& text) { g_log(text.c_str()); }

// The browser engine checks what the display can do with EGL contexts of its
// own, and that leaves the thread without the game's context: every call
// into the toolkit keeps the current context as it found it.
class KeepCurrentContext {
 public:
  KeepCurrentContext()
      : display_(eglGetCurrentDisplay()),
        draw_(eglGetCurrentSurface(EGL_DRAW)),
        read_(eglGetCurrentSurface(EGL_READ)),
        context_(eglGetCurrentContext()) {}
  ~KeepCurrentContext() {
    if (display_ != EGL_NO_DISPLAY && eglGetCurrentContext() != context_) {
      eglMakeCurrent(display_, draw_, read_, context_);
    }
  }
  KeepCurrentContext(const KeepCurrentContext&) = delete;
  KeepCurrentContext& operator=(const KeepCurrentContext&) = delete;

 private:
  EGLDisplay display_;
  EGLSurface draw_;
  EGLSurface read_;
  EGLContext context_;
};

// GTK starts once per process, on the game window's display; a failed start
// is not retried (GTK cannot be started twice).
bool StartToolkit(const std::string& displayName) {
  static const bool started = [&displayName] {
    // The engine's locale is its own decision.
    gtk_disable_setlocale();
    gdk_set_allowed_backends("x11");
    std::string program = "quarvelin";
    std::string option = "--display";
    std::string display = displayName;
    std::vector<char*> arguments = {program.data(), option.data(), display.data(), nullptr};
    int count = 3;
    char** vector = arguments.data();
    const bool ok = gtk_init_check(&count, &vector);
    if (!ok) Log("webview: GTK cannot start on the display \"" + displayName + "\"\n");
    return ok;
  }();
  return started;
}

// The URL of a location: a text that names a scheme is one already; any other
// is a file path.
std::string LocationUrl(const std::string& location) {
  if (char* scheme = g_uri_parse_scheme(location.c_str())) {
    g_free(scheme);
    return location;
  }
  gchar* path = g_canonicalize_filename(location.c_str(), nullptr);
  gchar* url = g_filename_to_uri(path, nullptr, nullptr);
  g_free(path);
  std::string result = url ? url : "";
  g_free(url);
  return result;
}

class WebKitView : public BrowserView {
 public:
  // Takes the top-level widget, whose child is the browser.
  WebKitView(GtkWidget* window, WebKitWebView* browser) : window_(window), browser_(browser) {}
  ~WebKitView() override {
    KeepCurrentContext keep;
    gtk_widget_destroy(window_);
  }
  WebKitView(const WebKitView&) = delete;
  WebKitView& operator=(const WebKitView&) = delete;

  bool Navigate(const std::string& location) override {
    KeepCurrentContext keep;
    const std::string url = LocationUrl(location);
    if (url.empty()) {
      Log("webview: \"" + location + "\" is no location\n");
      return false;
    }
    webkit_web_view_load_uri(browser_, url.c_str());
    return true;
  }

  void Place(int x, int y, int width, int height, bool shown) override {
    KeepCurrentContext keep;
    // X11 keeps coordinates and sizes in 16 bits.
    GtkWindow* window = GTK_WINDOW(window_);
    gtk_window_move(window, std::clamp(x, -32768, 32767), std::clamp(y, -32768, 32767));
    gtk_window_resize(window, std::clamp(width, 1, 32767), std::clamp(height, 1, 32767));
    if (shown) {
      gtk_widget_show(window_);
    } else {
      gtk_widget_hide(window_);
    }
  }

 private:
  GtkWidget* window_;
  WebKitWebView* browser_;
};

class WebKitHost : public BrowserHost {
 public:
  WebKitHost(std::string displayName, unsigned long parent)
      : displayName_(std::move(displayName)), parent_(parent) {}

  std::unique_ptr<BrowserView> CreateView() override {
    KeepCurrentContext keep;
    if (!StartToolkit(displayName_)) return nullptr;
    started_ = true;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_set_title(GTK_WINDOW(window), "webview");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), 100, 100);

    // Drawn by the CPU: a virtual or remote X server has no GL to spare for
    // the browser's compositing, and the page needs none.
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    GtkWidget* browser = webkit_web_view_new_with_settings(settings);
    g_object_unref(settings);
    gtk_container_add(GTK_CONTAINER(window), browser);
    gtk_widget_show(browser);

    gtk_widget_realize(window);
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (!gdkWindow || !GDK_IS_X11_WINDOW(gdkWindow)) {
      Log("webview: the browser window has no X11 window\n");
      gtk_widget_destroy(window);
      return nullptr;
    }
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_window_get_display(gdkWindow));
    XReparentWindow(display, GDK_WINDOW_XID(gdkWindow), parent_, 0, 0);
    XFlush(display);
    return std::make_unique<WebKitView>(window, WEBKIT_WEB_VIEW(browser));
  }

  void Pump() override {
    if (!started_) return;
    KeepCurrentContext keep;
    // Bounded, so that a busy page cannot hold the frame back for long.
    for (int i = 0; i < 64 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
  }

 private:
  std::string displayName_;
  unsigned long parent_;
  bool started_ = false;
};

}  // namespace
}  // namespace GCore

extern "C" __attribute__((visibility("default"))) GCore::BrowserHost* quarvelin_webview_host(
    const char* displayName, unsigned long window, GCore::WebViewLog log) {
  GCore::g_log = log;
  return new GCore::WebKitHost(displayName, window);
}
