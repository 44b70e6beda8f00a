#include "platform/MessagePump.h"

#include <deque>

#include "platform/TerminationSignals.h"

namespace GCore {
namespace {

std::deque<Message> g_queue;
EventSource* g_source = nullptr;
std::vector<Message> g_polled;  // kept to reuse its storage from frame to frame

bool TakeMessage(Message& message) {
  if (TakeTerminationRequest()) g_queue.push_back(Message{WM_CLOSE, 0, 0});
  if (g_queue.empty() && g_source) {
    g_polled.clear();
    g_source->Poll(g_polled);
    g_queue.insert(g_queue.end(), g_polled.begin(), g_polled.end());
  }
  if (g_queue.empty()) return false;
  message = g_queue.front();
  g_queue.pop_front();
  return true;
}

}  // namespace

void SetEventSource(EventSource* source) { g_source = source; }

void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  g_queue.push_back(Message{message, wParam, lParam});
}

void PostQuitMessage(int exitCode) {
  PostMessage(WM_QUIT, static_cast<uintptr_t>(static_cast<intptr_t>(exitCode)), 0);
}

void RunMessageLoop(WindowProc proc) {
  Message message;
  for (;;) {
    if (!TakeMessage(message)) {
      proc(WM_PAINT, 0, 0);
      continue;
    }
    if (message.message == WM_QUIT) return;
    proc(message.message, message.wParam, message.lParam);
  }
}

}  // namespace GCore
